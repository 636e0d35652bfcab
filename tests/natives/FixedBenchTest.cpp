#include "../support/NativeProgram.h"

#include <cmath>
#include <fstream>
#include <iterator>

// The fixed-point benchmark computes what its Lua twin computes in doubles.
TEST(FixedBench, AgreesWithDoublePrecision) {
    std::ifstream in(MCB_SOURCE_DIR "/bench/fixed/fixed_math.s");
    ASSERT_TRUE(in) << "bench/fixed/fixed_math.s";
    std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const int rounds = 20000;  // of the two million the benchmark runs
    const std::string count = "push 2000000";
    ASSERT_NE(source.find(count), std::string::npos);
    source.replace(source.find(count), count.size(), "push " + std::to_string(rounds));

    const std::vector<uint8_t> image = mcbasm::assemble(source);
    VirtualMachine vm;
    TInt32 index = -1;
    ASSERT_TRUE(vm.loadImage(CAppsString("fixed_math"), image.data(), image.size(), index));
    vm.resolveEntryPoints(index);
    vm.runEntryCall(vm.entryPoint(EntryMain), {}, {}, -1);
    const ORaw s = ORaw::fromRaw(TInt64(TUint64(vm.memory().readWord(vm.globals() + 20)) << 32 |
                                        vm.memory().readWord(vm.globals() + 16)));

    double x = 0.5, expected = 0;
    for (int i = 0; i < rounds; ++i) {
        const double y = x * 1.25 / 1.125;
        expected += std::sqrt(y) + std::sin(y);
        x += std::ldexp(1.0, -20);
    }
    EXPECT_NEAR(s.toReal(), expected, 1e-6 * rounds);
}
