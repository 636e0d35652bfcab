// The assembly corpus covers the whole language, and the tools answer --help (each native
// function's and each corpus file's round trip: NativeTablesTest.cpp).
#include "ToolTestSupport.h"

#include "common/CodeWalk.h"
#include "common/ImageReader.h"
#include "vm/Instructions.h"
#include "common/NativeCatalogue.h"

#include <gtest/gtest.h>

#include <set>

namespace mcb {

using namespace tooltest;

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
