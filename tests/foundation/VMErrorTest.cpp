// VM error texts and the pending error.
#include "foundation/CAppsString.h"
#include "foundation/VMError.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
std::string raised(TInt32 code, const char* msg) {
    try {
        vmerr::raise(code, msg);
    } catch (const ErrorHandlingException&) {
        EXPECT_EQ(vmerr::pendingErrorCode(), code);
        return vmerr::pendingErrorTextUtf8();
    }
    return "not raised";
}
}  // namespace

TEST(VMError, TextComposition) {
    EXPECT_EQ(raised(3, ""), "DivisionByZeroException");
    EXPECT_EQ(raised(3, "Division by zero."), "DivisionByZeroException: Division by zero.");
    EXPECT_EQ(raised(1, "NULL pointer"), "NullPointerException: NULL pointer");
    EXPECT_EQ(raised(42, "x"), "UnknownException (CODE:42): x");
    EXPECT_EQ(raised(11, ""), "UnknownException (CODE:11)");
    EXPECT_EQ(raised(12, ""), "UnknownException (CODE:12)");
    EXPECT_EQ(raised(4, ""), "DataFormatException: ");
    EXPECT_EQ(raised(4, "bad"), "DataFormatException: : bad");
    EXPECT_EQ(raised(13, ""), "UnsupportedFeatureException");
    EXPECT_EQ(raised(-1, ""), "UnknownException (CODE:-1)");
}

TEST(VMError, PendingErrorIsPerThread) {
    vmerr::clearPendingError();
    EXPECT_EQ(vmerr::pendingErrorCode(), 0);
    raised(7, "disk");
    TInt32 other = -1;
    std::thread([&] { other = vmerr::pendingErrorCode(); }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(vmerr::pendingErrorTextUtf8(), "IOException: disk");
}
