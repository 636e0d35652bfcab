// The tools' input: a whole file, or standard input when the path is "-".
#pragma once

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace mcb {

namespace mcbtools {

// Fills `out` (a std::string or a byte vector); false when the file cannot be opened or read.
// A directory opens as a stream but fails its first read, which the standard
// library reports by throwing: that, too, is input that cannot be read.
template <typename Bytes>
bool readInput(const std::string& path, Bytes& out)
{
    try {
        if (path == "-") {
            out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
            return !std::cin.bad();
        }
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec))
            return false;
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return !in.bad();
    } catch (const std::ios_base::failure&) {
        return false;
    }
}

}  // namespace mcbtools

}  // namespace mcb
