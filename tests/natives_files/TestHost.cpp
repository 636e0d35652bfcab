// The test host's file services, the same operations as the player's main view
// over a temporary root.
#include "TestHost.h"

// The player's own path rule.
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
    CAppsString p = resolve(path);
    if (p.isEmpty()) return nullptr;
    Vec<TUint8> old;
    bool keep = false;
    if (!truncate) {
        CAppsFileReader reader(p);
        keep = reader.isOk() && reader.readRest(old);
    }
    auto writer = std::make_unique<CAppsFileWriter>(p, true);
    if (!writer->isOk()) return nullptr;
    if (keep && !old.isEmpty() && !writer->write(old)) return nullptr;
    return writer;
}

std::unique_ptr<CAppsFileReader> FileHost::openForReading(const OString& path, TInt32) {
    CAppsString p = resolve(path);
    if (p.isEmpty()) return nullptr;
    auto reader = std::make_unique<CAppsFileReader>(p);
    if (!reader->isOk()) return nullptr;
    return reader;
}

bool FileHost::deleteFile(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::fileExists(p) && FileUtility::removeFile(p);
}

bool FileHost::fileExists(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::fileExists(p);
}

bool FileHost::renameFile(const OString& from, const OString& to) {
    CAppsString a = resolve(from), b = resolve(to);
    return !a.isEmpty() && !b.isEmpty() && FileUtility::renameFile(a, b);
}

bool FileHost::listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) {
    CAppsString p = resolve(path);
    Vec<CAppsString> fileNames, dirNames;
    if (p.isEmpty() || !FileUtility::listFiles(p, fileNames) || !FileUtility::listDirectories(p, dirNames))
        return false;
    for (const CAppsString& n : fileNames) files.append(OString(n.data(), n.getSize()));
    for (const CAppsString& n : dirNames) directories.append(OString(n.data(), n.getSize()));
    return true;
}

bool FileHost::createDirectory(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::createDirectory(p);
}

bool FileHost::removeDirectory(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::removeDirectory(p);
}

bool FileHost::renameDirectory(const OString& from, const OString& to) {
    CAppsString a = resolve(from), b = resolve(to);
    return !a.isEmpty() && !b.isEmpty() && FileUtility::renameDirectory(a, b);
}

bool FileHost::directoryExists(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::directoryExists(p);
}
