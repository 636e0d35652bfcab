// Start-up of the player: the root directory rule and the whole run from the
// command line to the end of the event loop.
#pragma once

#include <string>

namespace host {

// "/opt/" and the program's base name when the first argument is "--auto",
// else `currentDirectory`. False when that path would exceed 4096 characters.
bool rootDirectoryFor(int argc, char** argv, const std::string& currentDirectory, std::string& root);

// The process's exit status.
int runPlayer(int argc, char** argv);

}  // namespace host
