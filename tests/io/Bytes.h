// Byte helpers of the io tests, and the scratch folder they use.
#pragma once

#include "../support/Scratch.h"

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

}  // namespace mcb
