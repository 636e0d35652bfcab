// VMMemory: the one region that holds everything bytecode can address (value
// stack, globals, heap pools). A VM address is a 32-bit offset into it; 0 is null
// and the first kGuardBytes are never handed out. The region is reserved once
// and committed as it is carved, so host pointers into it never move.
#pragma once

#include "foundation/MemoryBudget.h"
#include "foundation/Types.h"

#include <cstddef>

namespace mcb {

class VMMemory {
public:
    static constexpr TUint32 kGuardBytes = 0x10000;  // low addresses stay unmapped
    static constexpr TUint64 kDefaultReserve = TUint64(1) << 32;

    explicit VMMemory(TUint64 reserveBytes = kDefaultReserve, MemoryBudget* budget = nullptr);
    ~VMMemory();
    VMMemory(const VMMemory&) = delete;
    VMMemory& operator=(const VMMemory&) = delete;

    // Hands out `bytes` (rounded up to 8) of zero-filled, committed memory,
    // charged to the budget. Raises the out-of-memory error when the budget or
    // the reservation is exhausted.
    VMAddr carve(TUint32 bytes);
    // The budget that carving and the heap's host-side records draw from (null:
    // only the reservation limits them).
    MemoryBudget* budget() const { return budget_; }

    // First address past everything carved so far.
    VMAddr top() const { return top_; }
    bool contains(VMAddr a, TUint32 len) const { return a >= kGuardBytes && TUint64(a) + len <= top_; }

    // Checked translation: null raises VM error 1 "NULL pointer"; an address
    // outside the carved region (or a word address not 4-aligned) raises VM
    // error 10 "Bad VM address 0x........".
    [[gnu::always_inline]] TUint8* ptr(VMAddr a, TUint32 len) {
        if (!contains(a, len)) [[unlikely]]
            raiseBadAccess(a);
        return base_ + a;
    }
    [[gnu::always_inline]] TUint32* wordPtr(VMAddr a) {
        if ((a & 3) != 0 || !contains(a, 4)) [[unlikely]]
            raiseBadAccess(a);
        return reinterpret_cast<TUint32*>(base_ + a);
    }
    [[gnu::always_inline]] TUint32 readWord(VMAddr a) { return *wordPtr(a); }
    [[gnu::always_inline]] void writeWord(VMAddr a, TUint32 v) { *wordPtr(a) = v; }

    // Fast path for addresses that were checked already.
    TUint8* unchecked(VMAddr a) const { return base_ + a; }
    TUint32* uncheckedWord(VMAddr a) const { return reinterpret_cast<TUint32*>(base_ + a); }
    VMAddr addressOf(const void* p) const { return VMAddr(static_cast<const TUint8*>(p) - base_); }
    bool holds(const void* p) const {
        auto* b = static_cast<const TUint8*>(p);
        return b >= base_ + kGuardBytes && b < base_ + top_;
    }

    [[noreturn]] static void raiseBadAddress(VMAddr a);
    // Null: VM error 1 "NULL pointer"; anything else: raiseBadAddress.
    [[noreturn]] static void raiseBadAccess(VMAddr a);

private:
    void commitUpTo(TUint64 end);

    MemoryBudget* budget_ = nullptr;
    TUint8* base_ = nullptr;
    TUint64 reserved_ = 0;
    TUint64 committed_ = 0;
    VMAddr top_ = kGuardBytes;
};

}  // namespace mcb
