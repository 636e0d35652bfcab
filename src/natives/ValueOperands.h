// ValueOperands: what the Position, Size, Rectangle and Color groups share. Their
// values live in bytecode's own variables; a target is the address of one, whose
// words are all checked before any is read or written, and an argument fault is
// VM error 6 without a message, raised before anything changes.
#pragma once

#include "natives/NativeArgs.h"

#include <array>

namespace mcb {

namespace values {

// The N words of the value variable whose address is argument i.
template <int N>
class Var {
public:
    Var(NativeArgs& a, TInt32 i) {
        const VMAddr base = a.address(i);
        for (int k = 0; k < N; ++k) words_[size_t(k)] = a.vm().memory().wordPtr(base + TUint32(k) * 4u);
    }
    TInt32 operator[](int k) const { return TInt32(*words_[size_t(k)]); }
    void set(int k, TInt32 v) { *words_[size_t(k)] = TUint32(v); }
    // Copies before writing, so a source that overlaps the target reads whole.
    void assign(const Var& from) {
        std::array<TInt32, N> v;
        for (int k = 0; k < N; ++k) v[size_t(k)] = from[k];
        for (int k = 0; k < N; ++k) set(k, v[size_t(k)]);
    }

private:
    std::array<TUint32*, N> words_;
};

inline void require(bool valid) {
    if (!valid) vmerr::raise(vmerr::InvalidArgument);
}

// Two result words (x then y, or width then height), both slots checked first.
inline void resultPair(NativeArgs& a, TInt32 first, TInt32 second) {
    a.result64(TInt64(TUint64(TUint32(second)) << 32 | TUint32(first)));
}

// 1 when the `n` words from argument 0 equal the `n` after them, as the comparisons give it.
inline TInt32 sameWords(NativeArgs& a, TInt32 n) {
    for (TInt32 k = 0; k < n; ++k)
        if (a.word(k) != a.word(n + k)) return 0;
    return 1;
}

template <TInt32 words>
void equal(VirtualMachine& vm) {
    NativeArgs a(vm, 2 * words);
    a.result(sameWords(a, words));
}

template <TInt32 words>
void notEqual(VirtualMachine& vm) {
    NativeArgs a(vm, 2 * words);
    a.result(1 - sameWords(a, words));
}

}  // namespace values

}  // namespace mcb
