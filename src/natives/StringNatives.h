// The String group's operations, one function per opcode family, shared between
// the group's two files: StringNatives.cpp (reading, searching, comparing,
// converting, and the dispatch table) and StringEditing.cpp (making and editing).
#pragma once

#include "foundation/Types.h"

class VirtualMachine;

namespace stringops {
using Operation = void (*)(VirtualMachine& vm, TInt32 opcode);

// Making strings into destinations, splitting.
void setString(VirtualMachine& vm, TInt32 opcode);  // 1, 2, 4, 5, 7, 8, 9
void split(VirtualMachine& vm, TInt32 opcode);      // 50-53

// Editing in place.
void insert(VirtualMachine& vm, TInt32 opcode);              // 57-59
void prependAppend(VirtualMachine& vm, TInt32 opcode);       // 60-65
void repeatInPlace(VirtualMachine& vm, TInt32 opcode);       // 66
void replaceRange(VirtualMachine& vm, TInt32 opcode);        // 67, 68
void replaceMatches(VirtualMachine& vm, TInt32 opcode);      // 69-92
void removeAt(VirtualMachine& vm, TInt32 opcode);            // 93
void removeRange(VirtualMachine& vm, TInt32 opcode);         // 94
void removeMatches(VirtualMachine& vm, TInt32 opcode);       // 95-118
void removeEnds(VirtualMachine& vm, TInt32 opcode);          // 119-122
void reshape(VirtualMachine& vm, TInt32 opcode);             // 123-128
void replaceOrInsert(VirtualMachine& vm, TInt32 opcode);     // 152
void replaceOrInsertPart(VirtualMachine& vm, TInt32 opcode); // 154
void replaceAllBefore(VirtualMachine& vm, TInt32 opcode);    // 159, 160
}  // namespace stringops
