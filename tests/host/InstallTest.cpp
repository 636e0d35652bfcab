// Installing: the three programs, their manual pages made from their --help
// text, and the desktop entry with its icon.
#include "HostTestSupport.h"

namespace mcb {

using namespace hosttest;

TEST(Install, ProgramsManualPagesAndTheDesktopEntry) {
    Scratch prefix;
    ASSERT_EQ(std::system(("cmake --install " MCB_BINARY_DIR " --prefix " + prefix.root() + " >/dev/null").c_str()), 0);
    for (const char* program : {"mcbplayer", "mcbasm", "mcbdis"}) {
        SCOPED_TRACE(program);
        std::string installed = prefix.path(std::string("bin/") + program);
        EXPECT_EQ(access(installed.c_str(), X_OK), 0);
        std::string page = prefix.read(std::string("share/man/man1/") + program + ".1");
        EXPECT_EQ(page.rfind(".TH ", 0), 0u) << page.substr(0, 80);
        // Every line of the help is in the page (a leading ' or . kept as text by \&).
        std::istringstream help(output(installed + " --help"));
        for (std::string line; std::getline(help, line);) {
            if (line.empty()) continue;
            if (line[0] == '\'' || line[0] == '.') line = "\\&" + line;
            EXPECT_NE(page.find(line + "\n"), std::string::npos) << line;
        }
    }
    std::string entry = prefix.read("share/applications/mcbplayer.desktop");
    for (const char* line : {"[Desktop Entry]\n", "Type=Application\n", "Exec=mcbplayer %f\n", "Icon=mcbplayer\n",
                             "MimeType=inode/directory;\n"})
        EXPECT_NE(entry.find(line), std::string::npos) << line;
    EXPECT_EQ(prefix.read("share/icons/hicolor/scalable/apps/mcbplayer.svg").rfind("<svg", 0), 0u);
}

}  // namespace mcb
