// Native test helpers: the globals a program left, and assembly that makes a filled vector.
#pragma once

#include "../support/NativeProgram.h"

#include <initializer_list>

namespace mcb {

// Globals `first` to `last` of a program that ran.
inline std::vector<TInt32> globals(NativeProgram& p, int first, int last) {
    std::vector<TInt32> out;
    for (int g = first; g <= last; ++g) out.push_back(p.integer(g));
    return out;
}

// A new vector of `size`-byte elements in global g, filled with `values` by the group's append
// (`words` stack words an element).
inline std::string vectorIn(int g, int size, const std::string& group, std::initializer_list<int> values,
                            int words = 1) {
    std::string out = "    @vec " + std::to_string(size) + "\n    @store " + std::to_string(g) + "\n";
    int k = 0;
    for (int v : values) {
        if (k % words == 0) out += "    @load " + std::to_string(g) + "\n";
        out += "    push " + std::to_string(v) + "\n";
        if (++k % words == 0) out += "    native " + group + ".append\n";
    }
    return out;
}

}  // namespace mcb
