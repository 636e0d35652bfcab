// The one test host: it records what the machine asks of it, serves files below
// a root under the player's path rule once told to, and hands extension calls to
// the handlers a test installs (then to `others`, if set).
// ReportingMachine keeps the texts of its runtime-error reports.
#pragma once

#include "objects/OString.h"
#include "io/AppFiles.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "vm/FrameworkServices.h"
#include "vm/VirtualMachine.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mcb {

inline std::string utf8(const OString& s) {
    const Vec<TUint8> bytes = s.toUtf8();
    return std::string(bytes.begin(), bytes.end());
}

template <typename Range>
std::string join(const Range& words, const std::string& separator) {
    std::string s;
    for (const auto& w : words) s += (s.empty() ? "" : separator) + std::to_string(w);
    return s;
}

class ReportingMachine : public VirtualMachine {
public:
    [[noreturn]] void runtimeError(TInt32* out, TInt32 pc, const CAppsString& message) override {
        reports.push_back(message.toUtf8());
        VirtualMachine::runtimeError(out, pc, message);
    }
    std::vector<std::string> reports;
};

class TestHost : public FrameworkServices {
public:
    // (function, sp, stack) -> the new sp.
    using Extension = std::function<TInt32(TInt32, TInt32, TInt32*)>;

    VirtualMachine* vm = nullptr;
    std::map<TInt32, Extension> extensions;
    std::function<TInt32(TInt32, TInt32, TInt32, TInt32*)> others;  // (extension, function, sp, stack)

    std::vector<std::string> logLines, openedLogs, exitMessages;
    TInt32 exits = 0;
    TInt32 millis = 1234567, elapsed = 4321, value12 = 12, value13 = 13;
    bool quiet = false;  // drop log lines (long random runs)

    void log(const OString& message) override {
        if (!quiet) logLines.push_back(utf8(message));
    }
    bool openLog(const OString& path) override {
        openedLogs.push_back(utf8(path));
        return true;
    }
    TInt32 exitMessage(const OString& message) override {
        exitMessages.push_back(utf8(message));
        return 0;
    }
    void exit() override { ++exits; }  // returns: the native must still end the run
    TInt32 currentMillis() override { return millis; }
    TInt32 elapsedMillis() override { return elapsed; }
    TInt32 primaryHostValue() override { return value12; }
    TInt32 secondaryHostValue() override { return value13; }

    // The screen: requests are recorded; the size follows the orientation, as on the device.
    std::vector<std::array<TInt32, 4>> repaints;
    std::vector<bool> screenFlags, busyNotices;
    std::vector<TInt32> listenersAdded, listenersRemoved;
    TInt32 orientationValue = 2;
    void repaintRect(TInt32 x, TInt32 y, TInt32 w, TInt32 h) override { repaints.push_back({x, y, w, h}); }
    void screenFlag(bool flag) override { screenFlags.push_back(flag); }
    void setOrientation(TInt32 value) override { orientationValue = value; }
    TInt32 orientation() override { return orientationValue; }
    void screenSize(TInt32& width, TInt32& height) override {
        width = orientationValue == 2 ? 800 : 480;
        height = orientationValue == 2 ? 480 : 800;
    }
    void addOrientationListener(TInt32 object) override { listenersAdded.push_back(object); }
    void removeOrientationListener(TInt32 object) override { listenersRemoved.push_back(object); }
    void busyNotice(bool busy) override { busyNotices.push_back(busy); }

    // Timers, when a test gives the host some (the player's scheduler, say).
    std::function<TInt32(TInt32, TInt32)> timers;
    TInt32 addTimer(TInt32 listener, TInt32 delay) override { return timers ? timers(listener, delay) : 0; }

    // Files: none until serveFiles(); `fileCalls` counts every question about them.
    void serveFiles(const std::string& root) { files_ = std::make_unique<AppFiles>(root); }
    int fileCalls = 0;
    std::unique_ptr<CAppsFileWriter> openForWriting(const OString& p, bool truncate) override {
        return files_ ? asked().openForWriting(p, truncate) : nullptr;
    }
    std::function<std::unique_ptr<CAppsFileReader>(const OString&)> reader;  // before the files, if set
    std::unique_ptr<CAppsFileReader> openForReading(const OString& p, TInt32) override {
        if (reader) return reader(p);
        return files_ ? asked().openForReading(p) : nullptr;
    }
    bool deleteFile(const OString& p) override { return files_ && asked().deleteFile(p); }
    bool fileExists(const OString& p) override { return files_ && asked().fileExists(p); }
    bool renameFile(const OString& a, const OString& b) override { return files_ && asked().renameFile(a, b); }
    bool listDirectory(const OString& p, Vec<OString>& files, Vec<OString>& directories) override {
        return files_ && asked().listDirectory(p, files, directories);
    }
    bool createDirectory(const OString& p) override { return files_ && asked().createDirectory(p); }
    bool removeDirectory(const OString& p) override { return files_ && asked().removeDirectory(p); }
    bool renameDirectory(const OString& a, const OString& b) override { return files_ && asked().renameDirectory(a, b); }
    bool directoryExists(const OString& p) override { return files_ && asked().directoryExists(p); }

    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override {
        if (auto it = extensions.find(extension); it != extensions.end()) return it->second(function, sp, stack);
        if (others) return others(extension, function, sp, stack);
        return unknown(extension, function, sp, stack);
    }
    // What the player does with an extension nobody serves.
    TInt32 unknown(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) {
        return FrameworkServices::callDllNative(extension, function, sp, stack);
    }

private:
    AppFiles& asked() {
        ++fileCalls;
        return *files_;
    }
    std::unique_ptr<AppFiles> files_;
};

}  // namespace mcb
