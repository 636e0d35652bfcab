// OverlayFiles: an application's files in two folders. Its own folder (the
// root directory, which may be read-only, as under /opt) keeps what it was
// installed with; its data directory takes everything it writes. Reads look
// in the data directory first, then in the root; listings merge both; what
// the application deletes of the root's is hidden from then on (a list kept in
// the data directory), never touched. Both folders are held by AppFiles, so
// the path rule and the containment below each folder hold as they do for one.
#pragma once

#include "io/AppFiles.h"

#include <memory>
#include <set>
#include <string>

namespace mcb {

class OverlayFiles {
public:
    // Where the names the application deleted from its root are listed, in the
    // data directory; no application path may name it.
    static constexpr const char* kHiddenList = ".mcbplayer-hidden";

    // One folder (the root) until a data directory is set.
    explicit OverlayFiles(std::string root);
    // Makes the directory (with its parents) when missing; a directory that is
    // the root itself leaves one folder. False with the system's reason.
    bool setDataDirectory(const std::string& directory, std::string& error);
    const std::string& root() const { return root_.root(); }
    // Empty when the root takes the writes itself.
    const std::string& dataDirectory() const;
    // The root directory alone (the image is read from there).
    AppFiles& rootFiles() { return root_; }

    std::unique_ptr<CAppsFileWriter> openForWriting(const OString& path, bool truncate);
    std::unique_ptr<CAppsFileReader> openForReading(const OString& path);
    bool deleteFile(const OString& path);
    bool fileExists(const OString& path);
    // Never replaces what either folder shows; a file of the root is copied.
    bool renameFile(const OString& from, const OString& to);
    // The data directory's names, then those of the root not already listed.
    bool listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories);
    bool createDirectory(const OString& path);
    bool removeDirectory(const OString& path);
    // Only a directory of the data directory alone: one of the root's is refused.
    bool renameDirectory(const OString& from, const OString& to);
    bool directoryExists(const OString& path);

private:
    // The path's bytes when the rule allows it and it does not name the list.
    bool allowed(const OString& path, std::string& relative) const;
    // The root's entry at `relative` is hidden (itself or a directory above it).
    bool hidden(const std::string& relative) const;
    bool rootHas(const std::string& relative, const OString& path, bool directory);
    void hide(const std::string& relative);
    void loadHidden();
    std::unique_ptr<CAppsFileWriter> copyFromRoot(const OString& from, const OString& to);
    bool copiedFromRoot(const OString& from, const OString& to);

    AppFiles root_;
    std::unique_ptr<AppFiles> data_;
    std::set<std::string> hidden_;
};

}  // namespace mcb
