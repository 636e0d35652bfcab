// The tools' input: a whole file, or standard input when the path is "-".
#pragma once

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace mcbtools {

// Fills `out` (a std::string or a byte vector); false when the file cannot be opened or read.
template <typename Bytes>
bool readInput(const std::string& path, Bytes& out)
{
    if (path == "-") {
        out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace mcbtools
