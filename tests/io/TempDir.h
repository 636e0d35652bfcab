// Shared io test helpers: a scratch directory removed with its contents when the test ends, and
// byte vectors from and to strings.
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
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/mcb-io-XXXXXX";
        if (mkdtemp(pattern.data())) root_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

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
    bool exists(const std::string& rel) const {
        std::error_code ec;
        return std::filesystem::symlink_status(os(rel), ec).type() != std::filesystem::file_type::not_found;
    }

private:
    std::string root_;
};
