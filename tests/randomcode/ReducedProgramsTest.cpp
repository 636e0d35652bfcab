// Throw routines reduced from random runs that once did not end. Each VM error
// calls the image's throw routine; one that fails again at once, leaving the
// stack as it found it, or that is main itself, must still end the call.
// (Other reduced programs live in tests/apps/vm: hostile_code.s, halting.s.)
#include "RandomImage.h"

#include <gtest/gtest.h>

namespace {

TEST(ReducedPrograms, ThrowRoutinesThatFailAgainEndTheCall) {
    const struct {
        const char* name;
        const char* routine;
        const char* code;
    } cases[] = {
        {"fails at once", "on_error", "deref\non_error:\n adjsp -3\n deref"},
        {"is main", "main", "push 1\n push 0\n div"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string source = std::string(".method \"main\", main, frame\n.method \"vminternalthrow<int>,<string>\", ") +
                             c.routine + ", frame\n.descriptor frame\n.code\nmain:\n " + c.code + "\n";
        EXPECT_EQ(randomcode::runSource(source, 1000), randomcode::Outcome::Halted);
    }
}

}  // namespace
