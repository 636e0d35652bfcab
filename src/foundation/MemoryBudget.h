// MemoryBudget: the one allowance of memory an application draws from — VM
// memory, string contents, native objects, hash data, timers, prepared code and
// whatever else the host holds for it. A charge that would pass the limit raises
// the out-of-memory error (VM error 6 "Out of memory") before anything is taken.
// BudgetCharge is the holder a host-side object keeps for what it charged.
#pragma once

#include "foundation/Types.h"

#include <algorithm>
#include <cstddef>

namespace mcb {

class MemoryBudget {
public:
    static constexpr TUint64 kDefaultLimit = TUint64(1) << 30;
    // The last bytes of the limit are kept for delivering an error to the
    // application (its text becomes a new string, maybe in a new heap pool).
    static constexpr TUint64 kErrorReserve = TUint64(128) << 10;

    // A budget held by the returned pointer's caller: drop() it when done.
    static MemoryBudget* create(TUint64 limit);
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    TUint64 limit() const { return limit_; }
    void setLimit(TUint64 limit) { limit_ = limit; }
    TUint64 used() const { return used_; }
    // The most it has held since it was made or the peak was last reset.
    TUint64 peak() const { return peak_; }
    void resetPeak() { peak_ = used_; }
    TUint64 available() const {
        const TUint64 usable = limit_ - (reserveOpen_ ? 0 : std::min(kErrorReserve, limit_ / 4));
        return used_ < usable ? usable - used_ : 0;
    }

    // Takes `bytes`, or raises the out-of-memory error and takes nothing.
    void charge(TUint64 bytes) {
        if (bytes > available()) [[unlikely]]
            refuse();
        used_ += bytes;
        peak_ = std::max(peak_, used_);
    }
    void release(TUint64 bytes) { used_ = bytes < used_ ? used_ - bytes : 0; }

    // While one of these lives, charges may use the reserve.
    class ErrorDelivery {
    public:
        explicit ErrorDelivery(MemoryBudget& b) : budget_(b), wasOpen_(b.reserveOpen_) { b.reserveOpen_ = true; }
        ~ErrorDelivery() { budget_.reserveOpen_ = wasOpen_; }
        ErrorDelivery(const ErrorDelivery&) = delete;
        ErrorDelivery& operator=(const ErrorDelivery&) = delete;

    private:
        MemoryBudget& budget_;
        bool wasOpen_;
    };

    // A budget lives while its owner or any charge against it does.
    void retain() { ++refs_; }
    void drop() {
        if (--refs_ == 0) delete this;
    }

    // The budget of the machine working on this thread, or null (nothing counted).
    static MemoryBudget* current();
    static void setCurrent(MemoryBudget* budget);
    // Raises the out-of-memory error unless the host's allocator can give
    // `bytes` at once: asked before work in a library that does not survive its
    // allocations failing (Qt's objects and connections), so that it never
    // starts short of memory.
    static void requireHostMemory(size_t bytes);
    // The limit of machines made from now on (the player's --memory-limit).
    static TUint64 defaultLimit();
    static void setDefaultLimit(TUint64 limit);

private:
    explicit MemoryBudget(TUint64 limit) : limit_(limit) {}
    ~MemoryBudget() = default;
    [[noreturn]] static void refuse();

    TUint64 limit_;
    TUint64 used_ = 0;
    TUint64 peak_ = 0;
    TUint64 refs_ = 1;
    bool reserveOpen_ = false;
};

// What one host-side object took from a budget, given back when it goes. Not
// thread-safe, like the machine: charge and release on the machine's thread.
class BudgetCharge {
public:
    BudgetCharge() = default;
    // Charges `bytes` to `budget` (null counts nothing); raises when they do not fit.
    explicit BudgetCharge(TUint64 bytes, MemoryBudget* budget = MemoryBudget::current());
    BudgetCharge(BudgetCharge&& o) noexcept : budget_(o.budget_), bytes_(o.bytes_) {
        o.budget_ = nullptr;
        o.bytes_ = 0;
    }
    BudgetCharge& operator=(BudgetCharge&& o) noexcept;
    BudgetCharge(const BudgetCharge&) = delete;
    BudgetCharge& operator=(const BudgetCharge&) = delete;
    ~BudgetCharge() { reset(); }

    // Makes the charge `bytes`: growing raises first when the rest does not fit.
    void resize(TUint64 bytes);
    void grow(TUint64 more) { resize(bytes_ + more); }
    void reset();
    TUint64 bytes() const { return bytes_; }
    MemoryBudget* budget() const { return budget_; }

private:
    MemoryBudget* budget_ = nullptr;
    TUint64 bytes_ = 0;
};

}  // namespace mcb
