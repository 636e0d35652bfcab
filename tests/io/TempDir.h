// Shared io test helpers: a scratch directory removed with its contents, and byte vectors.
#pragma once

#include "foundation/CAppsString.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using Bytes = Vec<TUint8>;

inline Bytes bytesOf(const std::string& s) {
    Bytes v;
    for (char c : s) v.append(TUint8(c));
    return v;
}

template <typename V>
std::string text(const V& v) { return std::string(v.begin(), v.end()); }

class TempDir {
public:
    TempDir() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/mcb-io-XXXXXX";
        if (mkdtemp(pattern.data())) root_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    }
    std::string os(const std::string& rel) const { return root_ + "/" + rel; }
    CAppsString path(const std::string& rel) const { return CAppsString(os(rel)); }
    void writeFile(const std::string& rel, const std::string& bytes) const {
        std::ofstream(os(rel), std::ios::binary) << bytes;
    }
    std::string readFile(const std::string& rel) const {
        std::ifstream in(os(rel), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void makeDir(const std::string& rel) const { std::filesystem::create_directories(os(rel)); }

private:
    std::string root_;
};
