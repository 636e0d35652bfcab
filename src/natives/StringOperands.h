// StringArgs: the operand kinds of the String group (string cells, chars, case
// flags, ranges, destinations) read from the value stack, and the ways a string
// native hands back a new string. Every reader checks before anything is touched.
#pragma once

#include "natives/NativeArgs.h"
#include "natives/VectorOperands.h"

namespace mcb {

// An inclusive character range already checked against its string; `empty` for
// the empty range (0, -1), which finds nothing and changes nothing.
struct StringRange {
    TInt32 start = 0;
    TInt32 end = -1;
    bool empty() const { return end < start; }
    TInt32 length() const { return end - start + 1; }
};

// The shape of a family member: which optional operands follow the pattern.
struct PatternShape {
    bool range = false;
    bool flag = false;
    bool isChar = false;

    // The eight-variant order: (x), (x, r), (x, f), (x, r, f), then the same with a char.
    static PatternShape ofVariant(TInt32 v) { return {(v & 1) != 0, (v & 2) != 0, (v & 4) != 0}; }
    // s and the pattern, then the range and the flag where present.
    TInt32 words() const { return 2 + (range ? 2 : 0) + (flag ? 1 : 0); }
};

class StringArgs : public NativeArgs {
public:
    StringArgs(VirtualMachine& vm, TInt32 words) : NativeArgs(vm, words) {}

    TUint16 character(TInt32 i) { return TUint16(TUint32(word(i))); }
    // Non-zero compares exactly; zero after lower-casing.
    bool exact(TInt32 i) { return word(i) != 0; }
    // A string operand or, for a char operand, its one-character string.
    OString pattern(TInt32 i, bool isChar) {
        if (isChar) return OString(character(i), 1);
        return string(i);
    }

    // (start, length) at words i, i + 1 over a string of length n, by the vector
    // groups' rule (a negative length runs to the end).
    StringRange range(TInt32 i, TInt32 n) {
        const ElementRange r = vectorops::checkedRange(word(i), word(i + 1), n);
        return {r.start, r.start + r.count - 1};
    }
    // The whole string, as a range.
    static StringRange all(const OString& s) { return {0, s.length() - 1}; }

    // A new string and its cell as the one result word.
    void resultString(const OString& text) { result(TInt32(vm().newString(text))); }
    void resultBool(bool b) { result(b ? 1 : 0); }

    // The cell named by a destination operand receives a new string object.
    void assign(VMAddr cell, const OString& text) {
        VMHeap& heap = vm().heap();
        VMAddr object = heap.allocate(8, -1, GC_CODE_STRING);
        heap.attachObject(object, std::make_unique<OString>(text));
        vm().memory().writeWord(cell, object);
        noResult();
    }
};

// Reads s, the pattern and the optional range and flag of a family member.
struct PatternCall {
    StringArgs args;
    OString& s;
    OString pattern;
    StringRange range;
    bool exact;

    // A char's one-character string is made only once the range has passed.
    PatternCall(VirtualMachine& vm, PatternShape shape)
        : args(vm, shape.words()), s(args.string(0)), pattern(shape.isChar ? OString() : args.string(1)),
          range(shape.range ? args.range(2, s.length()) : StringArgs::all(s)),
          exact(shape.flag && args.exact(shape.range ? 4 : 2)) {
        if (shape.isChar) pattern = OString(args.character(1), 1);
    }
};

}  // namespace mcb
