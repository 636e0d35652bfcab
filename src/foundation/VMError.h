// VM errors: the one failure model of the VM, its natives and the foundation types.
// raise() records {code, text} as the thread's pending error and throws
// ErrorHandlingException; the entry-call runner or the start-up code consumes it.
#pragma once

#include "foundation/Types.h"
#include "foundation/VMErrorCatalogue.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace mcb {

class CAppsString;

namespace vmerr {
enum Code : TInt32 {
#define VMERR_CODE(name, value, exceptionName) name = value,
    VMERR_CODES(VMERR_CODE)
#undef VMERR_CODE
};

// A fixed message of the catalogue and the code it is raised with.
struct Message {
    Code code;
    const char* text;
};

// The catalogue's messages: vmerr::raise(vmerr::msg::StackOverflow).
namespace msg {
#define VMERR_MESSAGE(entry, code, text) inline constexpr Message entry{Code::code, text};
VMERR_MESSAGES(VMERR_MESSAGE)
#undef VMERR_MESSAGE
}  // namespace msg
}  // namespace vmerr

// Carries no data: the code and text travel in the pending error.
class ErrorHandlingException {};

// How a run leaves the machine when the application exits (error 12 reached the
// entry-call runner) or halts (error 11, or a throw that could not be delivered).
struct ExitRequest {};
struct HaltRequest {};

namespace vmerr {
// Composes the error text of a code and message (exception name, then ": " message).
CAppsString composeErrorText(TInt32 code, const CAppsString& message);

[[noreturn]] void raise(TInt32 code);
[[noreturn]] void raise(TInt32 code, const CAppsString& message);
[[noreturn]] void raise(TInt32 code, std::string_view latin1Message);
[[noreturn]] void raise(TInt32 code, const char* latin1Message);
// A catalogue message; with a detail, the text is the message's followed by it.
[[noreturn]] void raise(const Message& message);
[[noreturn]] void raise(const Message& message, const CAppsString& detail);
[[noreturn]] void raise(const Message& message, std::string_view latin1Detail);
[[noreturn]] void raise(const Message& message, const char* latin1Detail);
// A catalogue message with {} holes, filled in turn from `latin1Fills` (fills beyond
// the holes are left out).
[[noreturn]] void raise(const Message& message, std::initializer_list<std::string_view> latin1Fills);

// The out-of-memory error (msg::OutOfMemory), raised from text made in
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

}  // namespace mcb
