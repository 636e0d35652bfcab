// The corpus covers the whole language: every instruction, every native function name,
// every section, and the widths 1, 2 and 4 in every header and record position.
#include "ToolTestSupport.h"

#include "common/CodeWalk.h"
#include "common/ImageReader.h"
#include "vm/Instructions.h"
#include "vm/NativeGroups.h"

#include <gtest/gtest.h>

#include <set>

using namespace tooltest;

namespace {

std::vector<mcbtools::Image> corpusImages()
{
    std::vector<mcbtools::Image> out;
    for (const auto& file : corpusFiles())
        out.push_back(mcbtools::readImage(assembleFile(file)));
    return out;
}

}  // namespace

TEST(Coverage, EveryInstructionAppearsInTheCorpus)
{
    std::set<int> seen;
    for (const auto& im : corpusImages())
        for (const auto& item : mcbtools::walkCode(im.code))
            if (item.row)
                seen.insert(item.row->opcode);
    for (const auto& row : mcb::kInstructions)
        EXPECT_TRUE(seen.count(row.opcode)) << "missing " << row.mnemonic;
}

TEST(Coverage, EveryNativeFunctionNameAppearsInTheCorpus)
{
    std::string all;
    for (const auto& file : corpusFiles())
        all += readText(file);
    for (const auto& g : natives::kGroups)
        for (const auto& f : g.functions)
            EXPECT_NE(all.find(std::string(g.name) + "." + std::string(f.name) + "\n"), std::string::npos)
                << g.name << "." << f.name;
    for (const auto& e : natives::kExtensions)
        for (const auto& f : e.functions)
            EXPECT_NE(all.find(std::string(e.name) + "." + std::string(f.name) + "\n"), std::string::npos)
                << e.name << "." << f.name;
}

TEST(Coverage, EveryHeaderWidthIsUsedAsOneTwoAndFourBytes)
{
    std::set<std::pair<int, int>> seen;
    for (const auto& im : corpusImages())
        for (int i = 0; i < mcbtools::kWidthCount; ++i)
            seen.insert({i, im.widths[i]});
    for (int i = 0; i < mcbtools::kWidthCount; ++i)
        for (int w : {1, 2, 4})
            EXPECT_TRUE(seen.count({i, w})) << "W" << i + 1 << " = " << w;
}

TEST(Coverage, EverySectionAndRecordListIsExercised)
{
    std::set<int> classWidths, descriptorWidths;
    bool methods = false, impls = false, globals = false, strings = false, trailing = false;
    bool classLists = false, descriptorLists = false;
    for (const auto& im : corpusImages()) {
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
            descriptorLists |= !d.maybeRefs.empty() && !d.arrays.empty() && !d.refs.empty()
                && !d.pairArrays.empty();
        }
    }
    EXPECT_TRUE(methods && impls && globals && strings && trailing && classLists && descriptorLists);
    EXPECT_EQ(classWidths, (std::set<int>{1, 2, 4}));
    EXPECT_EQ(descriptorWidths, (std::set<int>{1, 2, 4}));
}

TEST(Coverage, TheLanguageReferenceListsEveryMnemonic)
{
    const std::string doc = readText(std::filesystem::path(MCB_SOURCE_DIR) / "docs/assembly.md");
    for (const auto& row : mcb::kInstructions)
        EXPECT_NE(doc.find("`" + std::string(row.mnemonic) + "`"), std::string::npos) << row.mnemonic;
}
