// A host whose file services work below a fresh temporary root directory, with
// the player's application path rule, and which keeps the collector probes of
// the string tests' host (extcall 20).
#pragma once

#include "../natives_string/NativeProgram.h"

#include <string>

class FileHost : public GcHost {
public:
    FileHost();
    ~FileHost() override;

    const std::string& root() const { return root_; }
    // Host-side access to files below the root, for setting up and checking.
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }
    void put(const std::string& relative, const std::string& bytes) const;
    std::string contents(const std::string& relative) const;  // "<missing>" when unreadable
    bool exists(const std::string& relative) const;
    void makeDirectory(const std::string& relative) const;
    // How often the host was asked anything about files.
    int fileCalls = 0;

    std::unique_ptr<CAppsFileWriter> openForWriting(const OString& path, bool truncate) override;
    std::unique_ptr<CAppsFileReader> openForReading(const OString& path, TInt32 flag) override;
    bool deleteFile(const OString& path) override;
    bool fileExists(const OString& path) override;
    bool renameFile(const OString& from, const OString& to) override;
    bool listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) override;
    bool createDirectory(const OString& path) override;
    bool removeDirectory(const OString& path) override;
    bool renameDirectory(const OString& from, const OString& to) override;
    bool directoryExists(const OString& path) override;

private:
    // Empty for a path the rule rejects.
    CAppsString resolve(const OString& path);
    std::string root_;
};
