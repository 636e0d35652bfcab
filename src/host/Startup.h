// Start-up of the player: the root directory rule, where the application and
// its data directory are, and the whole run from the command line to the end
// of the event loop.
#pragma once

#include <string>

namespace mcb {

namespace host {

// "/opt/" and the program's base name when the first argument is "--auto",
// else `currentDirectory`. False when that path would exceed 4096 characters.
bool rootDirectoryFor(int argc, char** argv, const std::string& currentDirectory, std::string& root);

// Where APP puts the application: its folder (the root directory), the image
// in it, and its name (the folder's).
struct AppLocation {
    std::string root;
    std::string image = "index.mcb";
    std::string name;
};
// APP is a folder, an image file, or (empty) the current directory; a
// relative APP is taken from `currentDirectory`. A missing APP ending in
// ".mcb" names an image, anything else missing a folder.
AppLocation locateApp(const std::string& app, const std::string& currentDirectory);

// The data directory: `given` (relative to `currentDirectory`), or NAME below
// the per-user data folder `userData` ($XDG_DATA_HOME or ~/.local/share).
std::string dataDirectoryFor(const std::string& given, const std::string& currentDirectory,
                             const std::string& userData, const std::string& name);

// The process's exit status.
int runPlayer(int argc, char** argv);

}  // namespace host

}  // namespace mcb
