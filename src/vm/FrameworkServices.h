// FrameworkServices: everything the machine and its natives ask of the host —
// files under the application's root, clocks, the log, timers, the screen and
// device extensions. Each operation has the answer of a host that lacks it
// (null, false, 0, no effect), so that a host overrides only what it offers;
// the player's main view overrides them all.
#pragma once

#include "objects/OString.h"
#include "foundation/Vec.h"

#include <cstdio>
#include <memory>

namespace mcb {

class CAppsFileReader;
class CAppsFileWriter;

class FileSystemServices {
public:
    virtual ~FileSystemServices() = default;
    // 1: null for an invalid path; without truncation writing continues after the old contents.
    virtual std::unique_ptr<CAppsFileWriter> openForWriting(const OString& path, bool truncate);
    virtual std::unique_ptr<CAppsFileReader> openForReading(const OString& path, TInt32 flag);  // 2
    virtual bool deleteFile(const OString& path) { (void)path; return false; }                  // 3
    virtual bool fileExists(const OString& path) { (void)path; return false; }                  // 4
    // 5: a file query that other hosts fill; 0 here.
    virtual TInt32 reservedFileQuery(TInt32 argument) { (void)argument; return 0; }
    virtual bool renameFile(const OString& from, const OString& to) { (void)from; (void)to; return false; }  // 6
    // 7: files then directories; outputs untouched on failure.
    virtual bool listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) {
        (void)path; (void)files; (void)directories;
        return false;
    }
    virtual bool createDirectory(const OString& path) { (void)path; return false; }  // 8
    virtual bool removeDirectory(const OString& path) { (void)path; return false; }  // 9
    virtual bool renameDirectory(const OString& from, const OString& to) { (void)from; (void)to; return false; }  // 10
    virtual bool directoryExists(const OString& path) { (void)path; return false; }  // 11
};

class FrameworkServices : public FileSystemServices {
public:
    // 12 and 13: host values that System natives 7 and 6 hand to bytecode; 0 here.
    virtual TInt32 primaryHostValue() { return 0; }
    virtual TInt32 secondaryHostValue() { return 0; }
    virtual OString pathSeparator() { return OString("/"); }  // 14
    virtual OString platformName() { return OString("maemo"); }  // 15
    virtual TInt32 currentMillis();  // 16: milliseconds since the epoch, truncated to 32 bits
    virtual TInt32 elapsedMillis();  // 17: milliseconds since start
    virtual void repaintRect(TInt32 x, TInt32 y, TInt32 width, TInt32 height) { (void)x; (void)y; (void)width; (void)height; }  // 18
    // 19: "LOG: " and the message on standard error (and in the log file, where one is open).
    virtual void log(const OString& message);
    // "LOG: ", the low byte of each character of the message and a line end.
    static void writeLogLine(std::FILE* out, const OString& message);
    virtual bool openLog(const OString& path) { (void)path; return false; }  // 20
    virtual TInt32 exitMessage(const OString& message) { (void)message; return 0; }  // 21
    virtual void exit();  // 22: ends the process with status 0
    // 23 to 25: slots that other hosts fill and nothing here calls; 0 and no effect.
    virtual TInt32 reservedQuery() { return 0; }
    virtual TInt32 reservedPairQuery(TInt32 a, TInt32 b) { (void)a; (void)b; return 0; }
    virtual void reservedSetting(bool flag, TInt32 value) { (void)flag; (void)value; }
    virtual void screenFlag(bool flag) { (void)flag; }  // 26
    virtual void setOrientation(TInt32 orientation) { (void)orientation; }  // 27
    virtual TInt32 orientation() { return 0; }  // 28
    // 29: calls function `function` of device extension `extension` on the value
    // stack; returns the new stack pointer. Unknown extensions raise VM error 10
    // "Dll not supported".
    virtual TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack);
    virtual void screenSize(TInt32& width, TInt32& height) { width = 800; height = 480; }  // 30
    virtual void busyNotice(bool busy) { (void)busy; }  // 31
    virtual void addOrientationListener(TInt32 object) { (void)object; }     // 32
    virtual void removeOrientationListener(TInt32 object) { (void)object; }  // 33
    virtual TInt32 addTimer(TInt32 listener, TInt32 delay) { (void)listener; (void)delay; return 0; }  // 34
    virtual TInt32 removeTimer(TInt32 id) { (void)id; return 0; }  // 35: the listener
    virtual bool updateTimerDelay(TInt32 id, TInt32 newDelay) { (void)id; (void)newDelay; return false; }  // 36
    virtual TInt32 reservedLateQuery() { return 0; }  // 37: as 23
    virtual OString rootDirectory() { return OString(); }  // 38
};

}  // namespace mcb
