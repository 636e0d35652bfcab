// TextSearch: substring search over 16-bit units in time linear in the text and
// the pattern, whatever their shape (the two-way algorithm: a critical
// factorisation of the pattern, then a scan that never backs up further than
// the pattern's period). Forwards or backwards, exact or after lower-casing
// both sides; no memory beyond a few words.
#pragma once

#include "foundation/Types.h"

namespace mcb {

class TextSearch {
public:
    // The pattern must outlive the search; m >= 1.
    TextSearch(const TUint16* pattern, TInt32 m, bool caseSensitive, bool backwards);

    // The first match starting in text[from .. to] (the last one when searching
    // backwards) that lies wholly inside it, or -1. Positions index `text`.
    TInt32 find(const TUint16* text, TInt32 from, TInt32 to) const;

    // Unit comparisons made by every search on this thread so far.
    static TUint64 comparisons();

private:
    template <bool Fold, bool Backwards>
    TInt32 scan(const TUint16* text, TInt32 from, TInt32 to) const;
    template <bool Fold, bool Backwards>
    void factorise();

    const TUint16* pattern_;
    TInt32 m_;
    bool fold_;
    bool backwards_;
    TInt32 suffix_ = 0;    // start of the right half of the critical factorisation
    TInt32 period_ = 1;    // the pattern's period when periodic, else the shift on a match
    bool periodic_ = false;
};

}  // namespace mcb
