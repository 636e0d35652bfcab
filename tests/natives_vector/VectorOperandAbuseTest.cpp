// Every opcode of every vector group on operands of every kind (vectors of the
// group and of other groups, nulls, huge and negative counts, plain integers as
// references) ends in a result or a catchable VM error, never in a halt or a touch
// outside VM memory (the sanitizer build checks that).
#include "VectorTestSupport.h"

TEST(VectorOperandAbuse, EveryOpcodeOnEveryOperandShape) {
    struct Group {
        int number;
        const char* make;  // leaves a filled vector of the group in global 5
    };
    const std::vector<Group> groups = {
        {1, "    @vec 1\n    @store 5\n"},
        {3, "    @vec 4\n    @store 5\n"},
        {4, "    @vec 8\n    @store 5\n"},
        {5, "    @vec 12\n    @store 5\n"},
        {6, "    @vec 16\n    @store 5\n"},
        {7, "    @objvec\n    @store 5\n"},
    };
    const std::vector<std::string> shapes = {
        pushesOf({"g", "g", "g", "g", "g", "g"}),
        pushesOf({"g", "1", "2", "g", "0", "1"}),
        pushesOf({"g", "0", "-1", "g", "1", "-1"}),
        pushesOf({"g", "0x7fffffff", "1", "g", "0x7fffffff", "-1"}),
        pushesOf({"0", "0", "0", "0", "0", "0"}),
        pushesOf({"g", "-5", "7", "g", "3", "0"}),
        pushesOf({"1", "2", "3", "4", "5", "6"}),
        pushesOf({"s", "s", "2", "s", "-1", "s"}),
    };
    for (const Group& g : groups) {
        // Three elements to work on; for object vectors they are string cells.
        std::string body = g.make;
        for (int i = 0; i < 3; ++i) {
            int words = g.number == 1 || g.number == 7 ? 1 : g.number - 2;
            body += "    @load 5\n";
            for (int w = 0; w < words; ++w) body += g.number == 7 ? "    ldstr text\n" : "    push -7\n";
            body += "    native " + std::to_string(g.number) + ", 19\n";
        }
        for (size_t k = 0; k < shapes.size(); ++k) {
            NativeProgram p(body + everyFunction(g.number, 0, 255, shapes[k]), ".string text \"abc\"\n");
            bool ended = p.run();
            // Plain integers stored as object-vector elements make the collection
            // after the run refuse the vector; the natives themselves stayed in order.
            bool refusedByCollector = g.number == 7 && p.escaped.rfind("VMException: Bad VM address", 0) == 0;
            EXPECT_TRUE(ended || refusedByCollector) << "group " << g.number << " shape " << k << ": " << p.escaped;
            EXPECT_EQ(p.vector(5).elementBytes(), TUint32(g.number == 1 ? 1 : g.number == 7 ? 4 : (g.number - 2) * 4));
        }
    }
}
