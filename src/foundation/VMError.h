// VM errors: the one failure model of the VM, its natives and the foundation types.
// raise() records {code, text} as the thread's pending error and throws
// ErrorHandlingException; the entry-call runner or the start-up code consumes it.
#pragma once

#include "foundation/Types.h"

#include <string>
#include <string_view>

class CAppsString;

namespace vmerr {
enum Code : TInt32 {
    NullPointer = 1,
    IndexOutOfBounds = 2,
    DivisionByZero = 3,
    DataFormat = 4,
    Range = 5,
    InvalidArgument = 6,
    IO = 7,
    Math = 8,
    AssertionFailed = 9,
    VM = 10,
    Halt = 11,
    Exit = 12,
    UnsupportedFeature = 13,
};
}

// Carries no data: the code and text travel in the pending error.
class ErrorHandlingException {};

namespace vmerr {
// Composes the error text of a code and message (exception name, then ": " message).
CAppsString composeErrorText(TInt32 code, const CAppsString& message);

[[noreturn]] void raise(TInt32 code);
[[noreturn]] void raise(TInt32 code, const CAppsString& message);
[[noreturn]] void raise(TInt32 code, std::string_view latin1Message);
[[noreturn]] void raise(TInt32 code, const char* latin1Message);

// The out-of-memory error: VM error 6 "Out of memory", raised from text made in
// advance, so that reporting a failed allocation never allocates.
[[noreturn]] void raiseOutOfMemory();
// Records that error as pending without raising it (for a caught std::bad_alloc).
void setOutOfMemory();
// Makes this thread's pending-error record (done when a memory budget is made).
void prepareOutOfMemory();

// The current thread's pending error; code 0 when none was raised.
TInt32 pendingErrorCode();
const CAppsString& pendingErrorText();
std::string pendingErrorTextUtf8();
void clearPendingError();
}  // namespace vmerr
