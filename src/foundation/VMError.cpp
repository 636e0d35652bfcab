// Error text composition and the per-thread pending error.
#include "foundation/VMError.h"

#include "foundation/CAppsString.h"

namespace {
struct PendingError {
    CAppsString text;
    TInt32 code = 0;
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
    throw ErrorHandlingException();
}

void raise(TInt32 code) { raise(code, CAppsString()); }

void raise(TInt32 code, std::string_view latin1Message) { raise(code, CAppsString(latin1Message)); }

void raise(TInt32 code, const char* latin1Message) { raise(code, std::string_view(latin1Message)); }

TInt32 pendingErrorCode() { return pending().code; }

const CAppsString& pendingErrorText() { return pending().text; }

std::string pendingErrorTextUtf8() { return pending().text.toUtf8(); }

void clearPendingError() {
    pending().code = 0;
    pending().text.clear();
}
}  // namespace vmerr
