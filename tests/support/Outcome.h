// How a call ended: the VM error it raised (code and text), or code 0 when it returned.
#pragma once

#include "foundation/VMError.h"

#include <string>

struct Outcome {
    TInt32 code = 0;  // 0 when the call returned normally
    std::string text;
};

template <typename F>
Outcome outcomeOf(F&& f) {
    vmerr::clearPendingError();
    try {
        f();
    } catch (const ErrorHandlingException&) {
        return {vmerr::pendingErrorCode(), vmerr::pendingErrorTextUtf8()};
    }
    return {};
}
