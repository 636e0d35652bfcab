// Error text composition and the per-thread pending error.
#include "foundation/VMError.h"

#include "foundation/CAppsString.h"

namespace mcb {

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
#define VMERR_NAME(name, value, exceptionName) \
    case value: return exceptionName;
        VMERR_CODES(VMERR_NAME)
#undef VMERR_NAME
    default: return nullptr;
    }
}
}  // namespace

namespace vmerr {
// Made at start-up, read by every thread: raising it allocates nothing.
const CAppsString kOutOfMemoryText = composeErrorText(msg::OutOfMemory.code, CAppsString(msg::OutOfMemory.text));

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
    p.code = msg::OutOfMemory.code;
    p.outOfMemory = true;
}

void raiseOutOfMemory() {
    setOutOfMemory();
    throw ErrorHandlingException();
}

void raise(TInt32 code) { raise(code, CAppsString()); }

void raise(TInt32 code, std::string_view latin1Message) { raise(code, CAppsString(latin1Message)); }

void raise(TInt32 code, const char* latin1Message) { raise(code, std::string_view(latin1Message)); }

void raise(const Message& message) { raise(message.code, message.text); }

void raise(const Message& message, const CAppsString& detail) {
    raise(message.code, CAppsString(message.text).append(detail));
}

void raise(const Message& message, std::string_view latin1Detail) {
    raise(message.code, CAppsString(message.text).appendLatin1(latin1Detail));
}

void raise(const Message& message, const char* latin1Detail) { raise(message, std::string_view(latin1Detail)); }

void raise(const Message& message, std::initializer_list<std::string_view> latin1Fills) {
    std::string text;
    auto fill = latin1Fills.begin();
    for (const char* c = message.text; *c; ++c) {
        if (c[0] == '{' && c[1] == '}' && fill != latin1Fills.end()) {
            text += *fill++;
            ++c;
        } else {
            text += *c;
        }
    }
    raise(message.code, text);
}

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

}  // namespace mcb
