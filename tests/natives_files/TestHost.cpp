// The test host's file services, the same operations as the player's main view
// over a temporary root.
#include "TestHost.h"

// The player's own path rule.
#include "io/AppFiles.h"
#include "io/AppPath.h"

#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/FileUtility.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

FileHost::FileHost() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mcbfilesXXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    root_ = pattern;
}

FileHost::~FileHost() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void FileHost::put(const std::string& relative, const std::string& bytes) const {
    std::ofstream(path(relative), std::ios::binary) << bytes;
}

std::string FileHost::contents(const std::string& relative) const {
    std::ifstream in(path(relative), std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool FileHost::exists(const std::string& relative) const { return std::filesystem::exists(path(relative)); }

void FileHost::makeDirectory(const std::string& relative) const {
    std::filesystem::create_directories(path(relative));
}

CAppsString FileHost::resolve(const OString& path) {
    ++fileCalls;
    if (!host::isValidAppPath(path)) return CAppsString();
    return host::resolveAppPath(OString(root_.c_str()), path);
}

std::unique_ptr<CAppsFileWriter> FileHost::openForWriting(const OString& path, bool truncate) {
    return appfiles::openForWriting(resolve(path), truncate);
}

std::unique_ptr<CAppsFileReader> FileHost::openForReading(const OString& path, TInt32) {
    return appfiles::openForReading(resolve(path));
}

bool FileHost::deleteFile(const OString& path) { return appfiles::deleteFile(resolve(path)); }

bool FileHost::fileExists(const OString& path) { return appfiles::fileExists(resolve(path)); }

bool FileHost::renameFile(const OString& from, const OString& to) {
    return appfiles::renameFile(resolve(from), resolve(to));
}

bool FileHost::listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) {
    return appfiles::listDirectory(resolve(path), files, directories);
}

bool FileHost::createDirectory(const OString& path) { return appfiles::createDirectory(resolve(path)); }

bool FileHost::removeDirectory(const OString& path) { return appfiles::removeDirectory(resolve(path)); }

bool FileHost::renameDirectory(const OString& from, const OString& to) {
    return appfiles::renameDirectory(resolve(from), resolve(to));
}

bool FileHost::directoryExists(const OString& path) { return appfiles::directoryExists(resolve(path)); }
