// The operations of the native groups reached by instruction 78, by group
// number. A group without an operation yet answers every function with its
// "unknown function" error.
#pragma once

#include "foundation/Types.h"

class VirtualMachine;

using NativeGroupOperation = void (*)(VirtualMachine& vm, TInt32 function);

// The operation of group 1..36, or null when the group has none (yet).
NativeGroupOperation nativeGroupOperation(TInt32 group);
// Gives a group without an operation in the core one from a library above it
// (the graphics groups live with the host); null takes it away again.
void installNativeGroup(TInt32 group, NativeGroupOperation operation);
