// Assembling, disassembling and assembling again gives the same bytes for every corpus
// source, through the library and through the command-line tools.
#include "ToolTestSupport.h"

#include "mcbasm/Assembler.h"
#include "mcbdis/Disassembler.h"

#include <gtest/gtest.h>

using namespace tooltest;

TEST(RoundTrip, CorpusIsNotEmpty)
{
    EXPECT_GE(corpusFiles().size(), 5u);
}

TEST(RoundTrip, EveryCorpusImageReassemblesToTheSameBytes)
{
    for (const auto& file : corpusFiles()) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<uint8_t> image = assembleFile(file);
        const std::string text = mcbdis::disassembleBytes(image);
        EXPECT_EQ(mcbasm::assemble(text), image);
    }
}

TEST(RoundTrip, DisassemblyOfTheCopyIsTheSameText)
{
    for (const auto& file : corpusFiles()) {
        SCOPED_TRACE(file.filename().string());
        const std::string text = mcbdis::disassembleBytes(assembleFile(file));
        EXPECT_EQ(mcbdis::disassembleBytes(mcbasm::assemble(text)), text);
    }
}

TEST(RoundTrip, ThroughTheCommandLineTools)
{
    const std::string asmTool = toolPath("mcbasm").string();
    const std::string disTool = toolPath("mcbdis").string();
    for (const auto& file : corpusFiles()) {
        SCOPED_TRACE(file.filename().string());
        const auto image = scratchDir() / (file.stem().string() + ".mcb");
        const auto copy = scratchDir() / (file.stem().string() + ".copy.mcb");
        ASSERT_EQ(run(asmTool + " " + file.string() + " -o " + image.string()).status, 0);
        const CommandResult r = run(disTool + " " + image.string() + " | " + asmTool + " - -o " + copy.string());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readBytes(copy), readBytes(image));
    }
}

TEST(RoundTrip, HelpPrintsUsageAndSucceeds)
{
    for (const char* tool : {"mcbasm", "mcbdis"}) {
        const CommandResult r = run(toolPath(tool).string() + " --help");
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("usage: " + std::string(tool)), std::string::npos) << r.out;
    }
}

TEST(RoundTrip, MissingArgumentsPrintUsageAndFail)
{
    for (const char* tool : {"mcbasm", "mcbdis"}) {
        const CommandResult r = run(toolPath(tool).string());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
}
