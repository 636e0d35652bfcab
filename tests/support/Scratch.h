// The one scratch-folder helper: a fresh folder under the temporary directory,
// removed with its contents when dropped.
#pragma once

#include "foundation/CAppsString.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace mcb {

class Scratch {
public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "mcb-test-XXXXXX").string();
        if (mkdtemp(pattern.data())) root_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& rel) const { return root_ + "/" + rel; }
    // Writes a file, making the folders above it.
    void write(const std::string& rel, std::string_view bytes) const {
        std::filesystem::create_directories(std::filesystem::path(path(rel)).parent_path());
        std::ofstream(path(rel), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    // A file's bytes, or `missing` when it cannot be read.
    std::string read(const std::string& rel, const std::string& missing = "") const {
        std::ifstream in(path(rel), std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : missing;
    }
    void makeDir(const std::string& rel) const { std::filesystem::create_directories(path(rel)); }
    bool exists(const std::string& rel) const { return std::filesystem::exists(path(rel)); }

private:
    std::string root_;
};

// A path in the scratch folder as the player's own string.
inline CAppsString cpath(const Scratch& s, const std::string& rel) { return CAppsString(s.path(rel)); }

}  // namespace mcb
