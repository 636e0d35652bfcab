// Byte and folder helpers of the io tests, and the scratch folder they use.
#pragma once

#include "../support/Scratch.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace mcb {

using Bytes = Vec<TUint8>;

inline Bytes bytesOf(const std::string& s) {
    Bytes v;
    for (char c : s) v.append(TUint8(c));
    return v;
}

template <typename V>
std::string text(const V& v) { return std::string(v.begin(), v.end()); }

inline std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every entry below `top`, less the folder `skip`, with its contents (a link as
// "-> TARGET", a folder as "/"): to see that nothing changed.
inline std::map<std::string, std::string> snapshot(const std::filesystem::path& top,
                                                   const std::filesystem::path& skip = {}) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        const fs::file_status s = it->symlink_status();
        out[it->path().string()] = fs::is_symlink(s)     ? "-> " + fs::read_symlink(it->path()).string()
                                   : fs::is_directory(s) ? "/"
                                                         : slurp(it->path());
    }
    return out;
}

}  // namespace mcb
