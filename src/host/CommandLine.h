// The player's command line: its options, their values checked, and the help
// text that --help prints and the manual page is made from.
#pragma once

#include "foundation/Types.h"

#include <optional>
#include <string>
#include <vector>

namespace mcb {

namespace host {

struct PlayerOptions {
    bool help = false;
    bool version = false;
    bool autoRoot = false;            // "--auto" as the first argument
    std::string app;                  // APP as given (empty: the current directory)
    std::optional<bool> fullscreen;   // --fullscreen or --window; unset: by the screen
    int scale = 0;                    // 0: fit; N: N times
    bool smooth = false;              // --filter smooth
    bool portrait = false;
    bool mute = false;
    int volume = 100;
    std::string dataDirectory;
    bool headless = false;
    TInt64 frames = 0;               // 0: no limit
    std::string screenshot;
    std::string record;
    std::string replay;
    std::string logFile;
    bool verbose = false;
    TUint64 memoryLimit = TUint64(1) << 30;  // --memory-limit, in bytes
};

// Parses the arguments after the program's name. False with one line that
// names the option and what is wrong with it.
bool parseCommandLine(const std::vector<std::string>& args, PlayerOptions& out, std::string& error);
// "N", "NK", "NM" or "NG" (binary multiples; lower case too), at least 1 MiB.
bool parseSize(const std::string& text, TUint64& bytes);

std::string usageLine();
std::string helpText();
std::string versionText();

}  // namespace host

}  // namespace mcb
