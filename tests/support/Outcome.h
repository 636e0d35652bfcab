// How a call ended: the VM error it raised (code and text), or code 0 when it returned.
#pragma once

#include "foundation/VMError.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

namespace mcb {

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

// Each body raises the VM error of its code.
inline void expectAllRaise(std::initializer_list<std::pair<TInt32, std::function<void()>>> cases) {
    for (const auto& [code, body] : cases) EXPECT_EQ(outcomeOf(body).code, code);
}

}  // namespace mcb
