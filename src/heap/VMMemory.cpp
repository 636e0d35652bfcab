// The VM memory region: one reservation of address space, committed as carved.
#include "heap/VMMemory.h"

#include "foundation/VMError.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <new>

namespace mcb {

VMMemory::VMMemory(TUint64 reserveBytes, MemoryBudget* budget) : budget_(budget), reserved_(reserveBytes) {
    void* p = mmap(nullptr, reserved_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    base_ = static_cast<TUint8*>(p);
}

VMMemory::~VMMemory() { munmap(base_, reserved_); }

VMAddr VMMemory::carve(TUint32 bytes) {
    TUint64 start = top_;
    TUint64 end = start + ((TUint64(bytes) + 7) & ~TUint64(7));
    // Addresses must stay 32-bit, and the last word below 2^32 stays unused so
    // that `address + length` checks cannot wrap.
    if (end > reserved_ || end > 0xFFFFFFF0u) vmerr::raiseOutOfMemory();
    if (budget_) budget_->charge(end - start);
    try {
        commitUpTo(end);
    } catch (const ErrorHandlingException&) {
        if (budget_) budget_->release(end - start);
        throw;
    }
    top_ = VMAddr(end);
    return VMAddr(start);
}

void VMMemory::commitUpTo(TUint64 end) {
    if (end <= committed_) return;
    // Commit in steps of at least 1 MiB to keep mprotect calls rare.
    const TUint64 step = TUint64(1) << 20;
    TUint64 target = (end + step - 1) & ~(step - 1);
    if (target > reserved_) target = reserved_;
    if (mprotect(base_ + committed_, target - committed_, PROT_READ | PROT_WRITE) != 0)
        vmerr::raiseOutOfMemory();
    if (committed_ == 0) {
        // The guard stays inaccessible so that stray host code faults loudly.
        mprotect(base_, kGuardBytes, PROT_NONE);
    }
    committed_ = target;
}

void VMMemory::raiseBadAddress(VMAddr a) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", unsigned(a));
    vmerr::raise(vmerr::msg::BadAddress, digits);
}

void VMMemory::raiseBadAccess(VMAddr a) {
    if (a == 0) vmerr::raise(vmerr::msg::NullPointer);
    raiseBadAddress(a);
}

}  // namespace mcb
