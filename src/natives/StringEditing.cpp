// String natives that make strings into destination cells, split them into
// object vectors, or edit a string object in place (every cell that refers to it
// sees the change). Operands are all read and checked before the first change.
#include "natives/StringNatives.h"
#include "natives/StringOperands.h"
#include "natives/VectorOperands.h"
#include "objects/TextSearch.h"

#include <vector>

namespace mcb {

namespace stringops {
namespace {
// The replacement of the replace families: a string, or a char as a one-character string.
struct ReplaceShape {
    bool range, flag, newIsChar;
    // Order within each family of eight: (new), (new, f), (newchar), (newchar, f), then
    // the same four with a range after the old pattern.
    static ReplaceShape ofVariant(TInt32 v) { return {(v & 4) != 0, (v & 1) != 0, (v & 2) != 0}; }
    TInt32 words() const { return 3 + (range ? 2 : 0) + (flag ? 1 : 0); }
};

enum class Which { First, Last, All };

// A member of the replace and remove families: 8 * which + its place in the eight-variant order.
Which familyMember(TInt32 member, TInt32* variant) {
    TInt32 k = member / 8;
    *variant = member % 8;
    return k == 0 ? Which::First : k == 1 ? Which::Last : Which::All;
}

// Replaces (or, with an empty replacement, removes) the chosen matches.
void replaceIn(OString& s, const OString& old, const OString& replacement, StringRange r, bool exact, Which which) {
    if (which == Which::All) {
        s.replaceAll(old, replacement, r.start, r.end, exact);
        return;
    }
    TInt32 p = which == Which::First ? s.find(old, r.start, r.end, exact) : s.findLast(old, r.start, r.end, exact);
    if (p >= 0) s.replaceRange(p, p + old.length() - 1, replacement);
}

TInt32 checkedStep(StringArgs& a, TInt32 i) {
    TInt32 step = a.word(i);
    if (step < 1) vmerr::raise(vmerr::InvalidArgument);
    return step;
}
}  // namespace

// --- new strings into destinations ---------------------------------------------------

void setString(VirtualMachine& vm, TInt32 source) {
    static constexpr TInt32 kWords[] = {1, 2, 3, 4, 3, 5};
    StringArgs a(vm, kWords[source]);
    VMAddr destination = a.destination(0);
    OString text;
    switch (source) {
        case kEmpty: break;
        case kCopy: text = a.string(1); break;
        case kRepeatedChar: text = OString(a.character(1), a.word(2)); break;
        case kSubstring: {
            const OString& s = a.string(1);
            StringRange r = a.range(2, s.length());
            text = OString(s, r.start, r.end);
            break;
        }
        case kStepped: {
            const OString& s = a.string(1);
            text = OString(s, 0, s.length() - 1, checkedStep(a, 2));
            break;
        }
        default: {
            const OString& s = a.string(1);
            StringRange r = a.range(2, s.length());
            text = OString(s, r.start, r.end, checkedStep(a, 4));
            break;
        }
    }
    a.assign(destination, text);
}

// Calls `piece(first, last)` for each piece between separators and returns how
// many there are; empty pieces are dropped, and a string without any separator
// gives no pieces at all.
// One search serves every piece: its set-up is paid once per split.
template <typename Piece>
static TInt32 forEachPiece(const OString& s, const OString& separator, bool exact, Piece piece) {
    TInt32 n = s.length(), m = separator.length(), p = 0, count = 0;
    const TextSearch search(separator.data(), m, exact, false);
    bool found = false;
    while (p < n) {
        TInt32 q = search.find(s.data(), p, n - 1);
        if (q < 0) break;
        found = true;
        if (q > p) piece(count++, p, q - 1);
        p = q + m;
    }
    if (found && p < n) piece(count++, p, n - 1);
    return count;
}

// (s, x), (s, x, flag), (s, c), (s, c, flag) -> a new vector of new strings,
// counted first so that no list of pieces is kept aside.
void split(VirtualMachine& vm, TInt32 v) {
    bool flag = (v & 1) != 0, isChar = (v & 2) != 0;
    StringArgs a(vm, flag ? 3 : 2);
    const OString& s = a.string(0);
    bool exact = flag && a.exact(2);
    OString separator = a.pattern(1, isChar);
    if (!s.isEmpty() && separator.isEmpty()) vmerr::raise(vmerr::InvalidArgument);
    const TInt32 count = s.isEmpty() ? 0 : forEachPiece(s, separator, exact, [](TInt32, TInt32, TInt32) {});
    OVectorBase* pieces = nullptr;
    const VMAddr handle = vectorops::newVectorHandle(vm, kObjectVector, &pieces);
    pieces->resize(count);
    if (count > 0)
        forEachPiece(s, separator, exact, [&](TInt32 i, TInt32 first, TInt32 last) {
            vm.memory().writeWord(pieces->elementAddress(i), vm.newString(OString(s, first, last)));
        });
    a.result(TInt32(handle));
}

// --- insertion ------------------------------------------------------------------------

// (s, x, position), (s, char, position), (s, x, range of x, position).
void insert(VirtualMachine& vm, TInt32 what) {
    StringArgs a(vm, what == kInsertPart ? 5 : 3);
    OString& s = a.string(0);
    if (what == kInsertChar) {
        const TInt32 position = a.word(2);
        if (position < 0 || position > s.length()) vmerr::raise(vmerr::IndexOutOfBounds);
        s.insertTo(position, a.character(1));  // no one-character string to allocate
        a.noResult();
        return;
    }
    OString x = a.string(1);
    StringRange r = what == kInsertPart ? a.range(2, x.length()) : StringArgs::all(x);
    TInt32 position = a.word(what == kInsertPart ? 4 : 2);
    if (position < 0 || position > s.length()) vmerr::raise(vmerr::IndexOutOfBounds);
    if (!r.empty()) s.insertTo(position, x, r.start, r.end);
    a.noResult();
}

// Prepends or appends a string or a char.
void prependAppend(VirtualMachine& vm, TInt32 variant) {
    StringArgs a(vm, 2);
    OString& s = a.string(0);
    TInt32 position = (variant & kAtEnd) == 0 ? 0 : s.length();
    if ((variant & kOfChar) != 0)
        s.insertTo(position, a.character(1));  // no one-character string to allocate
    else
        s.insertTo(position, OString(a.string(1)));
    a.noResult();
}

void repeatInPlace(VirtualMachine& vm) {
    StringArgs a(vm, 2);
    a.string(0).repeat(a.word(1));
    a.noResult();
}

// --- replacement ---------------------------------------------------------------------------

// (s, range, x), (s, range, char).
void replaceRange(VirtualMachine& vm, TInt32 ofChar) {
    StringArgs a(vm, 4);
    OString& s = a.string(0);
    StringRange r = a.range(1, s.length());
    OString x = a.pattern(3, ofChar != 0);
    s.replaceRange(r.start, r.end, x);
    a.noResult();
}

// First, last or all: (s, old, [range,] new or newchar [, flag]).
void replaceMatches(VirtualMachine& vm, TInt32 member) {
    TInt32 v = 0;
    Which which = familyMember(member, &v);
    ReplaceShape shape = ReplaceShape::ofVariant(v);
    StringArgs a(vm, shape.words());
    OString& s = a.string(0);
    OString old = a.string(1);
    TInt32 next = 2;
    StringRange r = StringArgs::all(s);
    if (shape.range) {
        r = a.range(2, s.length());
        next = 4;
    }
    bool exact = shape.flag && a.exact(next + 1);
    OString replacement = a.pattern(next, shape.newIsChar);
    replaceIn(s, old, replacement, r, exact, which);
    a.noResult();
}

// (s, range, x): length 0 inserts x at the start of the range.
void replaceOrInsert(VirtualMachine& vm) {
    StringArgs a(vm, 4);
    OString& s = a.string(0);
    OString x = a.string(3);
    if (a.word(2) == 0) {
        TInt32 position = a.word(1);
        if (position < 0) vmerr::raise(vmerr::Range);
        s.insertTo(position, x);
    } else {
        StringRange r = a.range(1, s.length());
        s.replaceRange(r.start, r.end, x);
    }
    a.noResult();
}

// (s, range of x, x, target range): the part of x is inserted at the target's start
// when the target's length is 0, and otherwise replaces the target.
void replaceOrInsertPart(VirtualMachine& vm) {
    StringArgs a(vm, 6);
    OString& s = a.string(0);
    OString x = a.string(3);
    StringRange r = a.range(1, x.length());
    const bool inserting = a.word(5) == 0;
    const TInt32 position = a.word(4);
    StringRange target;
    if (inserting) {
        if (position < 0) vmerr::raise(vmerr::Range);
        if (position > s.length()) vmerr::raise(vmerr::IndexOutOfBounds);
    } else {
        target = a.range(4, s.length());
    }
    // The first range selects only what an insertion takes; a replacement takes all of x.
    if (inserting)
        s.insertTo(position, OString(x, r.start, r.end));
    else
        s.replaceRange(target.start, target.end, x);
    a.noResult();
}

// (s, range, old, new), (s, range, old, new, flag).
void replaceAllBefore(VirtualMachine& vm, TInt32 flag) {
    StringArgs a(vm, flag ? 6 : 5);
    OString& s = a.string(0);
    StringRange r = a.range(1, s.length());
    OString old = a.string(3);
    OString replacement = a.string(4);
    bool exact = flag && a.exact(5);
    replaceIn(s, old, replacement, r, exact, Which::All);
    a.noResult();
}

// --- removal ---------------------------------------------------------------------------------

void removeAt(VirtualMachine& vm) {
    StringArgs a(vm, 2);
    OString& s = a.string(0);
    TInt32 index = a.word(1);
    if (index < 0 || index >= s.length()) vmerr::raise(vmerr::IndexOutOfBounds);
    s.removeRange(index, index);
    a.noResult();
}

void removeRange(VirtualMachine& vm) {
    StringArgs a(vm, 3);
    OString& s = a.string(0);
    StringRange r = a.range(1, s.length());
    if (!r.empty()) s.removeRange(r.start, r.end);
    a.noResult();
}

// First, last or all, each in the eight-variant order.
void removeMatches(VirtualMachine& vm, TInt32 member) {
    TInt32 v = 0;
    Which which = familyMember(member, &v);
    PatternCall c(vm, PatternShape::ofVariant(v));
    replaceIn(c.s, c.pattern, OString(), c.range, c.exact, which);
    c.args.noResult();
}

// From the front or the back, one character or a count of them.
void removeEnds(VirtualMachine& vm, TInt32 variant) {
    bool counted = (variant & kCounted) != 0;
    StringArgs a(vm, counted ? 2 : 1);
    OString& s = a.string(0);
    TInt32 n = counted ? a.word(1) : 1;
    TInt32 len = s.length();
    if (n < 0 || n > len) vmerr::raise(vmerr::InvalidArgument);
    if (n > 0) {
        if ((variant & kAtEnd) == 0)
            s.removeRange(0, n - 1);
        else
            s.removeRange(len - n, len - 1);
    }
    a.noResult();
}

void reshape(VirtualMachine& vm, TInt32 change) {
    StringArgs a(vm, 1);
    OString& s = a.string(0);
    switch (change) {
        case kClear: s.clear(); break;
        case kTrimFront: s.trimStart(); break;
        case kTrimBack: s.trimEnd(); break;
        case kTrim: s.trim(); break;
        case kLowerCase: s.toLower(); break;
        default: s.toUpper(); break;
    }
    a.noResult();
}
}  // namespace stringops

}  // namespace mcb
