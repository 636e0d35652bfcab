// The tables of native groups and extensions: the assembler accepts exactly their functions,
// the interpreter dispatches through the same rows, docs/natives.md is made from them; every
// test application survives mcbdis | mcbasm, the assembly corpus covers the whole language,
// and the tools answer --help.
#include "ToolTestSupport.h"

#include "common/CodeWalk.h"
#include "common/NativeCatalogue.h"
#include "common/NativesDoc.h"
#include "mcbdis/Disassembler.h"
#include "natives/graphics/GraphicsNatives.h"
#include "vm/Instructions.h"
#include "vm/NativeRegistry.h"

#include <set>

namespace mcb {

using namespace tooltest;

namespace {
// Every function number an instruction byte can hold.
constexpr int kFunctionNumbers = 256;

void expectTheAssemblerAcceptsExactlyTheTable(const char* mnemonic, uint8_t opcode, const mcbtools::NamedGroup& g) {
    SCOPED_TRACE(std::string(g.name));
    std::set<std::string_view> names;
    std::set<int> numbers;
    for (const auto& f : g.functions) {
        EXPECT_TRUE(names.insert(f.name).second) << "name twice: " << f.name;
        EXPECT_TRUE(numbers.insert(f.number).second) << "number twice: " << f.number;
        const std::string line = std::string(mnemonic) + " " + std::string(g.name) + "." + std::string(f.name);
        EXPECT_EQ(codeOf(line + "\n"), (std::vector<uint8_t>{opcode, uint8_t(g.number), uint8_t(f.number)}));
    }
    // By number (every value the operand byte takes), the disassembler names exactly the
    // table's functions, by their names, in text that assembles back to the same bytes.
    for (int n = -128; n < kFunctionNumbers; ++n) {
        std::vector<uint8_t> image;
        try {
            image = mcbasm::assemble(std::string(mnemonic) + " " + std::to_string(g.number) + ", " + std::to_string(n) +
                                     "\n");
        } catch (const std::exception&) {
            continue;  // outside the operand's width
        }
        const std::string text = mcbdis::disassembleBytes(image);
        const mcbtools::NamedFunction* f = numbers.count(n) ? g.function(n) : nullptr;
        EXPECT_EQ(text.find(std::string(g.name) + ".") != std::string::npos, f != nullptr) << "function " << n;
        if (f) {
            EXPECT_NE(text.find(std::string(g.name) + "." + std::string(f->name) + "\n"), std::string::npos) << n;
        }
        EXPECT_EQ(mcbasm::assemble(text), image) << "function " << n;
    }
}

}  // namespace

TEST(NativeTables, EveryGroupAndExtensionCoversExactlyTheNumbersTheAssemblerAccepts) {
    ASSERT_EQ(mcbtools::nativeGroups().size(), size_t(natives::kLastGroup));
    for (const auto& g : mcbtools::nativeGroups()) expectTheAssemblerAcceptsExactlyTheTable("native", 78, g);
    ASSERT_EQ(mcbtools::extensions().size(), 6u);
    for (const auto& e : mcbtools::extensions()) expectTheAssemblerAcceptsExactlyTheTable("extcall", 97, e);
}

TEST(NativeTables, TheInterpreterDispatchesThroughTheSameRows) {
    graphics::installNatives();
    for (const auto& g : mcbtools::nativeGroups()) {
        SCOPED_TRACE(std::string(g.name));
        const natives::Group* registered = natives::findGroup(g.number);
        ASSERT_NE(registered, nullptr);
        EXPECT_EQ(registered->name, g.name);
        for (int n = 0; n < kFunctionNumbers; ++n) {
            const natives::Function* row = natives::findFunction(g.number, n);
            const mcbtools::NamedFunction* named = g.function(n);
            ASSERT_EQ(row != nullptr, named != nullptr) << "function " << n;
            if (row) {
                EXPECT_EQ(row->name, named->name);
            }
        }
    }
}

TEST(NativeTables, TheCommittedReferenceIsTheGeneratedOne) {
    const std::string intro = readText(fs::path(MCB_SOURCE_DIR) / "tools/nativesdoc/intro.md");
    ASSERT_FALSE(intro.empty());
    EXPECT_TRUE(readText(fs::path(MCB_SOURCE_DIR) / "docs/natives.md") == mcbtools::nativesMarkdown(intro))
        << "docs/natives.md differs from the tables; refresh it with\n"
           "  cmake --build build --target natives_reference && cp build/docs/natives.md docs/natives.md";
}

TEST(RoundTrip, EveryTestApplicationReassemblesToTheSameBytes) {
    const auto files = sourcesBelow({"tests/apps", "examples"});
    ASSERT_GE(files.size(), 17u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> image = assembleFile(file);
        const std::string text = mcbdis::disassembleBytes(image);
        const std::vector<uint8_t> again = mcbasm::assemble(text);
        EXPECT_EQ(again, image);
        EXPECT_EQ(mcbdis::disassembleBytes(again), text);
        const auto built = scratchDir() / (file.stem().string() + ".app.mcb");
        const auto copy = scratchDir() / (file.stem().string() + ".app.copy.mcb");
        ASSERT_EQ(run(tool("mcbasm") + " " + file.string() + " -o " + built.string()).status, 0);
        const CommandResult r =
            run(tool("mcbdis") + " " + built.string() + " | " + tool("mcbasm") + " - -o " + copy.string());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readText(copy), readText(built));
    }
}

TEST(RoundTrip, HelpSucceedsAndMissingArgumentsFail) {
    for (const char* name : {"mcbasm", "mcbdis"}) {
        const CommandResult help = run(tool(name) + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("usage: " + std::string(name)), std::string::npos) << help.out;
        const CommandResult bare = run(tool(name));
        EXPECT_EQ(bare.status, 1);
        EXPECT_NE(bare.err.find("usage:"), std::string::npos);
    }
}

TEST(Coverage, TheCorpusHoldsEveryInstructionNativeGroupWidthAndRecordList) {
    // (0, opcode); (78 or 97, group); (-1 - W index, -10 for a class or -11 for a descriptor; width)
    std::set<std::pair<int, int>> seen;
    bool methods = false, impls = false, globals = false, strings = false, trailing = false;
    bool classLists = false, descriptorLists = false;
    for (const auto& file : corpusFiles()) {
        const auto im = mcbtools::readImage(assembleFile(file));
        for (const auto& item : mcbtools::walkCode(im.code)) {
            if (!item.row) continue;
            seen.insert({0, item.row->opcode});
            if (item.row->opcode == 78 || item.row->opcode == 97)
                seen.insert({item.row->opcode, static_cast<int8_t>(im.code[item.offset + 1])});
        }
        for (int i = 0; i < mcbtools::kWidthCount; ++i) seen.insert({-1 - i, im.widths[i]});
        methods |= !im.methods.empty();
        globals |= im.globals != 0;
        strings |= !im.strings.empty();
        for (const auto& s : im.selectors) impls |= !s.impls.empty();
        for (const auto& c : im.classes) {
            seen.insert({-10, c.width});
            trailing |= !c.trailing.empty();
            classLists |= !c.refFields.empty() && !c.arrayFields.empty() && c.superPresent != 0;
        }
        for (const auto& d : im.descriptors) {
            seen.insert({-11, d.width});
            descriptorLists |= !d.maybeRefs.empty() && !d.arrays.empty() && !d.refs.empty() && !d.pairArrays.empty();
        }
    }
    for (const auto& row : kInstructions) EXPECT_TRUE(seen.count({0, row.opcode})) << "missing " << row.mnemonic;
    for (const auto& g : mcbtools::nativeGroups()) EXPECT_TRUE(seen.count({78, g.number})) << g.name;
    for (const auto& e : mcbtools::extensions()) EXPECT_TRUE(seen.count({97, e.number})) << e.name;
    for (int kind = -11; kind <= -1; ++kind)
        for (int w : {1, 2, 4}) EXPECT_TRUE(seen.count({kind, w})) << kind << ": width " << w;
    EXPECT_TRUE(methods && impls && globals && strings && trailing && classLists && descriptorLists);
}

}  // namespace mcb
