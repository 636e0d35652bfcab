// FreeIndexSet: the free numbers among 1..n, handed out lowest first. Reusing the
// lowest keeps what is numbered (the heap's object slots) dense and in the order
// of allocation, so that walks by address touch the slot table in order.
#pragma once

#include "foundation/Types.h"

#include <vector>

namespace mcb {

class FreeIndexSet {
public:
    // Room for numbers up to n (call before release() of a number above the last).
    void cover(TUint32 n) {
        if (bits_.size() * 64 < n) bits_.resize((size_t(n) + 63) / 64, 0);
    }
    void release(TUint32 number) {
        const TUint32 i = number - 1;
        bits_[i / 64] |= TUint64(1) << (i % 64);
        if (i / 64 < lowest_) lowest_ = i / 64;
        ++count_;
    }
    // The lowest free number, taken; 0 when none is free.
    TUint32 take() {
        if (count_ == 0) return 0;
        while (bits_[lowest_] == 0) ++lowest_;
        const TUint64 word = bits_[lowest_];
        bits_[lowest_] = word & (word - 1);
        --count_;
        return TUint32(lowest_ * 64 + size_t(__builtin_ctzll(word))) + 1;
    }
    TUint32 count() const { return count_; }

private:
    std::vector<TUint64> bits_;
    size_t lowest_ = 0;  // no free number in the words below
    TUint32 count_ = 0;
};

}  // namespace mcb
