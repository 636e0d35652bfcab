// The String group's operations, one function per family of functions, shared between
// the group's two files: StringNatives.cpp (reading, searching, comparing, converting,
// and the group's table) and StringEditing.cpp (making and editing). A family's rows
// tell its members apart by the variant their rows carry.
#pragma once

#include "foundation/Types.h"

namespace mcb {

class VirtualMachine;

namespace stringops {
// What setString makes the destination's string of.
enum SetSource : TInt32 { kEmpty, kCopy, kRepeatedChar, kSubstring, kStepped, kSteppedRange };
// What insert puts in.
enum InsertWhat : TInt32 { kInsertString, kInsertChar, kInsertPart };
// Bits of the prepend, append and end-removal variants.
enum EndBits : TInt32 { kOfChar = 1, kCounted = 1, kAtEnd = 2 };
// What reshape does.
enum Reshape : TInt32 { kClear, kTrimFront, kTrimBack, kTrim, kLowerCase, kUpperCase };

// Making strings into destinations, splitting.
void setString(VirtualMachine& vm, TInt32 source);
void split(VirtualMachine& vm, TInt32 variant);  // (x), (x, f), (c), (c, f)

// Editing in place.
void insert(VirtualMachine& vm, TInt32 what);
void prependAppend(VirtualMachine& vm, TInt32 variant);
void repeatInPlace(VirtualMachine& vm);
void replaceRange(VirtualMachine& vm, TInt32 ofChar);
void replaceMatches(VirtualMachine& vm, TInt32 member);  // 8 * first/last/all + eight-variant place
void removeAt(VirtualMachine& vm);
void removeRange(VirtualMachine& vm);
void removeMatches(VirtualMachine& vm, TInt32 member);  // as replaceMatches
void removeEnds(VirtualMachine& vm, TInt32 variant);
void reshape(VirtualMachine& vm, TInt32 change);
void replaceOrInsert(VirtualMachine& vm);
void replaceOrInsertPart(VirtualMachine& vm);
void replaceAllBefore(VirtualMachine& vm, TInt32 flag);
}  // namespace stringops

}  // namespace mcb
