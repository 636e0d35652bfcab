// The assembly corpus covers the whole language, and assembling, disassembling and assembling
// again gives the same bytes, through the library and through the command-line tools.
#include "ToolTestSupport.h"

#include "common/CodeWalk.h"
#include "common/ImageReader.h"
#include "mcbdis/Disassembler.h"
#include "vm/Instructions.h"
#include "vm/NativeGroups.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

using namespace tooltest;

TEST(RoundTrip, EveryCorpusImageReassemblesToTheSameBytesAndText) {
    ASSERT_GE(corpusFiles().size(), 7u);
    for (const auto& file : corpusFiles()) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<uint8_t> image = assembleFile(file);
        const std::string text = mcbdis::disassembleBytes(image);
        const std::vector<uint8_t> copy = mcbasm::assemble(text);
        EXPECT_EQ(copy, image);
        EXPECT_EQ(mcbdis::disassembleBytes(copy), text);
    }
}

TEST(RoundTrip, EveryNativeFunctionByName) {
    std::string source;
    std::vector<std::array<int, 3>> expected;  // opcode, group, function
    const auto add = [&](const char* mnemonic, int opcode, const auto& group) {
        for (const auto& f : group.functions) {
            source += "    " + std::string(mnemonic) + " " + std::string(group.name) + "." + std::string(f.name) + "\n";
            expected.push_back({opcode, group.number, f.number});
        }
    };
    for (const auto& g : natives::kGroups)
        add("native", 78, g);
    for (const auto& e : natives::kExtensions)
        add("extcall", 97, e);
    const auto image = mcbasm::assemble(source);
    const auto code = mcbtools::readImage(image).code;
    const auto items = mcbtools::walkCode(code);
    ASSERT_EQ(items.size(), expected.size());
    for (size_t i = 0; i < items.size(); ++i)
        for (size_t k = 0; k < 3; ++k)
            EXPECT_EQ(code[items[i].offset + k], static_cast<uint8_t>(expected[i][k])) << i;
    const std::string text = mcbdis::disassembleBytes(image);
    EXPECT_NE(text.find(source), std::string::npos);
    EXPECT_EQ(mcbasm::assemble(text), image);
}

TEST(RoundTrip, ThroughTheCommandLineTools) {
    for (const auto& file : corpusFiles()) {
        SCOPED_TRACE(file.filename().string());
        const auto image = scratchDir() / (file.stem().string() + ".mcb");
        const auto copy = scratchDir() / (file.stem().string() + ".copy.mcb");
        ASSERT_EQ(run(tool("mcbasm") + " " + file.string() + " -o " + image.string()).status, 0);
        const CommandResult r =
            run(tool("mcbdis") + " " + image.string() + " | " + tool("mcbasm") + " - -o " + copy.string());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readText(copy), readText(image));
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

TEST(Coverage, EveryInstructionAndNativeGroupAppearsInTheCorpus) {
    std::set<int> opcodes;
    std::set<std::pair<int, int>> groups;  // opcode 78 or 97, group number
    for (const auto& file : corpusFiles()) {
        const auto code = mcbtools::readImage(assembleFile(file)).code;
        for (const auto& item : mcbtools::walkCode(code)) {
            if (!item.row)
                continue;
            opcodes.insert(item.row->opcode);
            if (item.row->opcode == 78 || item.row->opcode == 97)
                groups.insert({item.row->opcode, static_cast<int8_t>(code[item.offset + 1])});
        }
    }
    for (const auto& row : mcb::kInstructions)
        EXPECT_TRUE(opcodes.count(row.opcode)) << "missing " << row.mnemonic;
    for (const auto& g : natives::kGroups)
        EXPECT_TRUE(groups.count({78, g.number})) << g.name;
    for (const auto& e : natives::kExtensions)
        EXPECT_TRUE(groups.count({97, e.number})) << e.name;
}

TEST(Coverage, EveryWidthSectionAndRecordListIsExercised) {
    std::set<std::pair<int, int>> widths;
    std::set<int> classWidths, descriptorWidths;
    bool methods = false, impls = false, globals = false, strings = false, trailing = false;
    bool classLists = false, descriptorLists = false;
    for (const auto& file : corpusFiles()) {
        const auto im = mcbtools::readImage(assembleFile(file));
        for (int i = 0; i < mcbtools::kWidthCount; ++i)
            widths.insert({i, im.widths[i]});
        methods |= !im.methods.empty();
        globals |= im.globals != 0;
        strings |= !im.strings.empty();
        for (const auto& s : im.selectors)
            impls |= !s.impls.empty();
        for (const auto& c : im.classes) {
            classWidths.insert(c.width);
            trailing |= !c.trailing.empty();
            classLists |= !c.refFields.empty() && !c.arrayFields.empty() && c.superPresent != 0;
        }
        for (const auto& d : im.descriptors) {
            descriptorWidths.insert(d.width);
            descriptorLists |= !d.maybeRefs.empty() && !d.arrays.empty() && !d.refs.empty() && !d.pairArrays.empty();
        }
    }
    for (int i = 0; i < mcbtools::kWidthCount; ++i)
        for (int w : {1, 2, 4})
            EXPECT_TRUE(widths.count({i, w})) << "W" << i + 1 << " = " << w;
    EXPECT_TRUE(methods && impls && globals && strings && trailing && classLists && descriptorLists);
    EXPECT_EQ(classWidths, (std::set<int>{1, 2, 4}));
    EXPECT_EQ(descriptorWidths, (std::set<int>{1, 2, 4}));
}

TEST(Coverage, TheLanguageReferenceListsEveryMnemonic) {
    const std::string doc = readText(fs::path(MCB_SOURCE_DIR) / "docs/assembly.md");
    for (const auto& row : mcb::kInstructions)
        EXPECT_NE(doc.find(std::string(1, '`').append(row.mnemonic).append(1, '`')), std::string::npos) << row.mnemonic;
}

TEST(NativeGroups, EdgesOfTheTablesAndPrefixesOfUnknownFunctionMessages) {
    // Names and numbers of every function are checked by RoundTrip.EveryNativeFunctionByName.
    EXPECT_EQ(natives::findGroup(0), nullptr);
    EXPECT_EQ(natives::findGroup(37), nullptr);
    EXPECT_EQ(natives::findExtension(37)->name, "Maemo");
    EXPECT_EQ(natives::findExtension(21), nullptr);
    const std::pair<int, std::string_view> cases[] = {{1, "Vector:"}, {7, "Vector:"}, {27, "Number:"},
        {35, "KeyEvent: invalid opcode "}, {36, "Float: invalid opcode: "}, {2, ""}};
    for (const auto& [group, prefix] : cases)
        EXPECT_EQ(natives::findGroup(group)->errorPrefix, prefix) << group;
}
