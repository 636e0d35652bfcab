// Application file operations shared by every host.
#include "io/AppFiles.h"

#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/FileUtility.h"

namespace appfiles {

std::unique_ptr<CAppsFileWriter> openForWriting(const CAppsString& path, bool truncate) {
    if (path.isEmpty()) return nullptr;
    Vec<TUint8> old;
    bool keep = false;
    if (!truncate) {
        CAppsFileReader reader(path);
        keep = reader.isOk() && reader.readRest(old);
        // Contents that exist but cannot be read would be lost to the truncating open.
        if (!keep && FileUtility::fileExists(path)) return nullptr;
    }
    auto writer = std::make_unique<CAppsFileWriter>(path, true);
    if (!writer->isOk()) return nullptr;
    if (keep && !old.isEmpty() && !writer->write(old)) return nullptr;
    return writer;
}

std::unique_ptr<CAppsFileReader> openForReading(const CAppsString& path) {
    if (path.isEmpty()) return nullptr;
    auto reader = std::make_unique<CAppsFileReader>(path);
    if (!reader->isOk()) return nullptr;
    return reader;
}

bool deleteFile(const CAppsString& path) {
    return FileUtility::fileExists(path) && FileUtility::removeFile(path);
}

bool fileExists(const CAppsString& path) { return FileUtility::fileExists(path); }

bool renameFile(const CAppsString& from, const CAppsString& to) {
    return FileUtility::renameFile(from, to);
}

bool listDirectory(const CAppsString& path, Vec<OString>& files, Vec<OString>& directories) {
    Vec<CAppsString> fileNames, dirNames;
    if (!FileUtility::listFiles(path, fileNames) || !FileUtility::listDirectories(path, dirNames)) return false;
    for (const CAppsString& n : fileNames) files.append(OString(n.data(), n.getSize()));
    for (const CAppsString& n : dirNames) directories.append(OString(n.data(), n.getSize()));
    return true;
}

bool createDirectory(const CAppsString& path) { return FileUtility::createDirectory(path); }

bool removeDirectory(const CAppsString& path) { return FileUtility::removeDirectory(path); }

bool renameDirectory(const CAppsString& from, const CAppsString& to) {
    return FileUtility::renameDirectory(from, to);
}

bool directoryExists(const CAppsString& path) { return FileUtility::directoryExists(path); }

}  // namespace appfiles
