// Test helper: runs a callable and expects it to raise one VM error code.
#pragma once

#include "foundation/VMError.h"

#include <gtest/gtest.h>

template <typename F>
void expectRaises(TInt32 code, F f) {
    try {
        f();
        ADD_FAILURE() << "no error raised";
    } catch (const ErrorHandlingException&) {
        EXPECT_EQ(vmerr::pendingErrorCode(), code);
    }
}
