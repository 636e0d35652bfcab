// The two-way search: critical factorisation of the pattern, then the scan of
// the right half and the left half with the period's memory, read through an
// index map so that one scan serves both directions.
#include "objects/TextSearch.h"

#include "objects/OString.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mcb {

namespace {
thread_local TUint64 tComparisons = 0;

template <bool Fold>
TUint16 canon(TUint16 c) {
    if constexpr (Fold) {
        if (c < 0x80) return TUint16(c - 'A') < 26 ? TUint16(c + 32) : c;  // the usual case, inline
        return OString::toLowerChar(c);
    } else {
        return c;
    }
}

// Unit i of a sequence of n, in search order.
template <bool Fold, bool Backwards>
TUint16 nth(const TUint16* s, TInt32 n, TInt32 i) {
    return canon<Fold>(Backwards ? s[n - 1 - i] : s[i]);
}

// The first k in [from, to] with t(k) == c, or to + 1: the scan's inner loop
// while the right half's first unit does not match.
template <bool Fold, bool Backwards, typename Unit>
TInt32 skipTo(Unit t, const TUint16* window, TInt32 from, TInt32 to, TUint16 c) {
    TInt32 k = from;
#if defined(__SSE2__)
    if constexpr (!Fold && !Backwards) {
        const __m128i want = _mm_set1_epi16(short(c));
        for (; k + 8 <= to + 1; k += 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + k));
            if (const int hits = _mm_movemask_epi8(_mm_cmpeq_epi16(units, want)))
                return k + __builtin_ctz(unsigned(hits)) / 2;
        }
    }
#else
    (void)window;
#endif
    while (k <= to && t(k) != c) ++k;
    return k;
}
}  // namespace

TUint64 TextSearch::comparisons() { return tComparisons; }

TextSearch::TextSearch(const TUint16* pattern, TInt32 m, bool caseSensitive, bool backwards)
    : pattern_(pattern), m_(m), fold_(!caseSensitive), backwards_(backwards) {
    // One unit with no other case (no other unit lower-cases to it) is found
    // exactly, by the fast scan.
    if (m_ == 1 && fold_ && pattern[0] < 0x80 && TUint16((pattern[0] | 32) - 'a') >= 26) fold_ = false;
    if (m_ < 2) return;  // one unit: a plain scan
    if (fold_)
        backwards_ ? factorise<true, true>() : factorise<true, false>();
    else
        backwards_ ? factorise<false, true>() : factorise<false, false>();
}

// The maximal suffix of the pattern under one order (or its reverse) and its
// period; the later of the two suffixes gives the critical factorisation.
template <bool Fold, bool Backwards>
void TextSearch::factorise() {
    TUint64 comparisons = 0;
    auto x = [this](TInt32 i) { return nth<Fold, Backwards>(pattern_, m_, i); };
    auto maximalSuffix = [&](bool reverseOrder, TInt32& period) {
        TInt32 ms = -1, j = 0, k = 1, p = 1;
        while (j + k < m_) {
            const TUint16 a = x(j + k), b = x(ms + k);
            ++comparisons;
            if (reverseOrder ? a > b : a < b) {
                j += k;
                k = 1;
                p = j - ms;
            } else if (a == b) {
                if (k != p) {
                    ++k;
                } else {
                    j += p;
                    k = 1;
                }
            } else {
                ms = j++;
                k = p = 1;
            }
        }
        period = p;
        return ms;
    };
    TInt32 p1 = 1, p2 = 1;
    const TInt32 ms1 = maximalSuffix(false, p1);
    const TInt32 ms2 = maximalSuffix(true, p2);
    suffix_ = (ms2 < ms1 ? ms1 : ms2) + 1;
    period_ = ms2 < ms1 ? p1 : p2;
    // Periodic when the left half repeats at the period's distance.
    periodic_ = true;
    for (TInt32 i = 0; i < suffix_ && periodic_; ++i, ++comparisons) periodic_ = x(i) == x(i + period_);
    if (!periodic_) period_ = std::max(suffix_, m_ - suffix_) + 1;
    tComparisons += comparisons;
}

TInt32 TextSearch::find(const TUint16* text, TInt32 from, TInt32 to) const {
    if (m_ < 1 || from < 0 || to - from + 1 < m_) return -1;
    if (fold_) return backwards_ ? scan<true, true>(text, from, to) : scan<true, false>(text, from, to);
    return backwards_ ? scan<false, true>(text, from, to) : scan<false, false>(text, from, to);
}

template <bool Fold, bool Backwards>
TInt32 TextSearch::scan(const TUint16* text, TInt32 from, TInt32 to) const {
    const TInt32 n = to - from + 1, m = m_;
    const TUint16* window = text + from;
    auto x = [this](TInt32 i) { return nth<Fold, Backwards>(pattern_, m_, i); };
    auto t = [window, n](TInt32 i) { return nth<Fold, Backwards>(window, n, i); };
    // The match at j in search order, as a position of `text`.
    auto position = [&](TInt32 j) { return Backwards ? to - j - m + 1 : from + j; };
    TUint64 comparisons = 0;
    TInt32 found = -1;
    if (m == 1) {
        const TInt32 j = skipTo<Fold, Backwards>(t, window, 0, n - 1, x(0));
        tComparisons += TUint64(std::min(j + 1, n));
        return j < n ? position(j) : -1;
    }
    const TInt32 suffix = suffix_, period = period_;
    TInt32 memory = 0;
    for (TInt32 j = 0; j <= n - m && found < 0;) {
        // The right half, left to right (from where the last shift's memory ends).
        TInt32 i = periodic_ ? std::max(suffix, memory) : suffix;
        if (i == suffix) {
            // Each position whose first right-half unit differs shifts by one
            // and forgets the memory: skip them in one tight loop.
            auto u = [&t, suffix](TInt32 k) { return t(k + suffix); };
            const TInt32 k = skipTo<Fold, Backwards>(u, window + (Backwards ? 0 : suffix), j, n - m, x(suffix));
            comparisons += TUint64(k - j);
            if (k > n - m) break;
            if (k != j) memory = 0;
            j = k;
            ++comparisons;  // the unit that matched
            ++i;
        }
        while (i < m && (++comparisons, x(i) == t(i + j))) ++i;
        if (i < m) {
            j += i - suffix + 1;
            memory = 0;
            continue;
        }
        // The left half, right to left, down to what is known to match.
        const TInt32 known = periodic_ ? memory : 0;
        i = suffix - 1;
        while (i >= known && (++comparisons, x(i) == t(i + j))) --i;
        if (i < known) {
            found = position(j);
        } else {
            j += period;
            memory = periodic_ ? m - period : 0;
        }
    }
    tComparisons += comparisons;
    return found;
}

}  // namespace mcb
