// Every String opcode on operands of every kind (strings, nulls, huge and negative
// counts, plain integers as references) ends in a result or a catchable VM error:
// never a halt, never a touch outside VM memory (the sanitizer build checks that).
#include "NativeProgram.h"

TEST(StringOperandAbuse, EveryOpcodeOnEveryOperandShape) {
    const std::vector<std::string> shapes = {
        pushesOf({"s", "s", "s", "s", "s", "s"}),
        pushesOf({"s", "1", "2", "s", "0", "1"}),
        pushesOf({"s", "s", "0", "-1", "s", "1"}),
        pushesOf({"s", "0x7fffffff", "1", "0x7fffffff", "s", "-1"}),
        pushesOf({"0", "0", "0", "0", "0", "0"}),
        pushesOf({"s", "-5", "7", "s", "3", "0"}),
        pushesOf({"65", "2", "36", "3", "1", "16"}),
        pushesOf({"g", "g", "2", "g", "-1", "g"}),
    };
    for (size_t k = 0; k < shapes.size(); ++k) {
        NativeProgram p("    @vec 4\n    @store 5\n" + everyFunction(8, 0, 255, shapes[k]),
                        ".string text \"Hello, world\"\n");
        EXPECT_TRUE(p.run()) << "shape " << k;
    }
}
