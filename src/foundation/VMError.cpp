// Error text composition and the per-thread pending error.
#include "foundation/VMError.h"

#include "foundation/CAppsString.h"

namespace {
struct PendingError {
    CAppsString text;
    TInt32 code = 0;
    bool outOfMemory = false;  // the text is kOutOfMemoryText
};

PendingError& pending() {
    thread_local PendingError p;
    return p;
}

const char* nameText(TInt32 code) {
    switch (code) {
    case 1: return "NullPointerException";
    case 2: return "IndexOutOfBoundsException";
    case 3: return "DivisionByZeroException";
    case 4: return "DataFormatException: ";
    case 5: return "RangeException";
    case 6: return "InvalidArgumentException";
    case 7: return "IOException";
    case 8: return "MathException";
    case 9: return "AssertionFailedException";
    case 10: return "VMException";
    case 13: return "UnsupportedFeatureException";
    default: return nullptr;
    }
}
}  // namespace

namespace vmerr {
// Made at start-up, read by every thread: raising it allocates nothing.
const CAppsString kOutOfMemoryText = composeErrorText(InvalidArgument, CAppsString("Out of memory"));

CAppsString composeErrorText(TInt32 code, const CAppsString& message) {
    CAppsString text;
    if (const char* name = nameText(code)) {
        text.appendLatin1(name);
    } else {
        text.appendLatin1("UnknownException (CODE:").appendDecimal(code).appendLatin1(")");
    }
    if (!message.isEmpty()) text.appendLatin1(": ").append(message);
    return text;
}

void raise(TInt32 code, const CAppsString& message) {
    PendingError& p = pending();
    p.text = composeErrorText(code, message);
    p.code = code;
    p.outOfMemory = false;
    throw ErrorHandlingException();
}

// The thread's record exists before memory can run out.
void prepareOutOfMemory() { (void)pending(); }

void setOutOfMemory() {
    PendingError& p = pending();
    p.code = InvalidArgument;
    p.outOfMemory = true;
}

void raiseOutOfMemory() {
    setOutOfMemory();
    throw ErrorHandlingException();
}

void raise(TInt32 code) { raise(code, CAppsString()); }

void raise(TInt32 code, std::string_view latin1Message) { raise(code, CAppsString(latin1Message)); }

void raise(TInt32 code, const char* latin1Message) { raise(code, std::string_view(latin1Message)); }

TInt32 pendingErrorCode() { return pending().code; }

const CAppsString& pendingErrorText() {
    const PendingError& p = pending();
    return p.outOfMemory ? kOutOfMemoryText : p.text;
}

std::string pendingErrorTextUtf8() { return pendingErrorText().toUtf8(); }

void clearPendingError() {
    PendingError& p = pending();
    p.code = 0;
    p.text.clear();
    p.outOfMemory = false;
}
}  // namespace vmerr
