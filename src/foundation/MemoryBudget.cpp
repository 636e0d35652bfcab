// The per-application memory budget, the thread's current one, and charge holders.
#include "foundation/MemoryBudget.h"

#include "foundation/VMError.h"

#include <cstdlib>
#include <new>

namespace mcb {

namespace {
thread_local MemoryBudget* tCurrent = nullptr;
TUint64 gDefaultLimit = MemoryBudget::kDefaultLimit;
}  // namespace

MemoryBudget* MemoryBudget::create(TUint64 limit) {
    vmerr::prepareOutOfMemory();  // so that refusing never allocates
    return new MemoryBudget(limit);
}

void MemoryBudget::refuse() { vmerr::raiseOutOfMemory(); }

void MemoryBudget::requireHostMemory(size_t bytes) {
    void* probe = std::malloc(bytes);
    if (!probe) vmerr::raiseOutOfMemory();
    std::free(probe);  // below the trim threshold: the space stays with the allocator
}

MemoryBudget* MemoryBudget::current() { return tCurrent; }
void MemoryBudget::setCurrent(MemoryBudget* budget) { tCurrent = budget; }
TUint64 MemoryBudget::defaultLimit() { return gDefaultLimit; }
void MemoryBudget::setDefaultLimit(TUint64 limit) { gDefaultLimit = limit; }

BudgetCharge::BudgetCharge(TUint64 bytes, MemoryBudget* budget) {
    if (!budget) return;
    budget->charge(bytes);
    budget->retain();
    budget_ = budget;
    bytes_ = bytes;
}

BudgetCharge& BudgetCharge::operator=(BudgetCharge&& o) noexcept {
    if (this != &o) {
        reset();
        budget_ = o.budget_;
        bytes_ = o.bytes_;
        o.budget_ = nullptr;
        o.bytes_ = 0;
    }
    return *this;
}

void BudgetCharge::resize(TUint64 bytes) {
    if (!budget_) {
        BudgetCharge fresh(bytes);  // a holder made without a budget takes the current one
        *this = std::move(fresh);
        return;
    }
    if (bytes > bytes_)
        budget_->charge(bytes - bytes_);
    else
        budget_->release(bytes_ - bytes);
    bytes_ = bytes;
}

void BudgetCharge::reset() {
    if (!budget_) return;
    budget_->release(bytes_);
    budget_->drop();
    budget_ = nullptr;
    bytes_ = 0;
}

}  // namespace mcb
