// The host services of the main view: application files under the root
// directory, the log and its file, exit, timers, extensions, and the
// operations this host answers with 0 or ignores.
#include "io/AppPath.h"
#include "host/HostProcess.h"
#include "host/MainView.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/FileUtility.h"
#include "io/OsPath.h"
#include "vm/VirtualMachine.h"

#include <cstdio>
#include <string>

CAppsString MainView::resolve(const OString& path) const {
    if (!host::isValidAppPath(path)) return CAppsString();
    return host::resolveAppPath(rootDirectory_, path);
}

// --- files ------------------------------------------------------------------------

std::unique_ptr<CAppsFileWriter> MainView::openForWriting(const OString& path, bool truncate) {
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

std::unique_ptr<CAppsFileReader> MainView::openForReading(const OString& path, TInt32) {
    CAppsString p = resolve(path);
    if (p.isEmpty()) return nullptr;
    auto reader = std::make_unique<CAppsFileReader>(p);
    if (!reader->isOk()) return nullptr;
    return reader;
}

bool MainView::deleteFile(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::fileExists(p) && FileUtility::removeFile(p);
}

bool MainView::fileExists(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::fileExists(p);
}

TInt32 MainView::fileService5(TInt32) { return 0; }

bool MainView::renameFile(const OString& from, const OString& to) {
    CAppsString a = resolve(from), b = resolve(to);
    return !a.isEmpty() && !b.isEmpty() && FileUtility::renameFile(a, b);
}

bool MainView::listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) {
    CAppsString p = resolve(path);
    Vec<CAppsString> fileNames, dirNames;
    if (p.isEmpty() || !FileUtility::listFiles(p, fileNames) || !FileUtility::listDirectories(p, dirNames))
        return false;
    for (const CAppsString& n : fileNames) files.append(OString(n.data(), n.getSize()));
    for (const CAppsString& n : dirNames) directories.append(OString(n.data(), n.getSize()));
    return true;
}

bool MainView::createDirectory(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::createDirectory(p);
}

bool MainView::removeDirectory(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::removeDirectory(p);
}

bool MainView::renameDirectory(const OString& from, const OString& to) {
    CAppsString a = resolve(from), b = resolve(to);
    return !a.isEmpty() && !b.isEmpty() && FileUtility::renameDirectory(a, b);
}

bool MainView::directoryExists(const OString& path) {
    CAppsString p = resolve(path);
    return !p.isEmpty() && FileUtility::directoryExists(p);
}

// --- the log ------------------------------------------------------------------------

void MainView::log(const OString& message) {
    std::string line = "LOG: ";
    for (TInt32 i = 0; i < message.length(); ++i) line.push_back(char(message.charAt(i) & 0xFF));
    line.push_back('\n');
    std::fputs(line.c_str(), stderr);
    if (!logWriter || message.isEmpty()) return;
    static const char kPrefix[] = "LOG: ";
    logWriter->writeByteBufferToFile(reinterpret_cast<const TUint8*>(kPrefix), 5);
    logWriter->write(message.toUtf8());
    logWriter->write(TUint8(10));
}

bool MainView::openLog(const OString& path) {
    if (path.isEmpty()) {
        closeLog();
        return true;
    }
    CAppsString p = resolve(path);
    if (p.isEmpty()) return false;
    closeLog();
    logWriter = std::make_shared<CAppsFileWriter>(p, true);
    return logWriter->isOk();
}

void MainView::closeLog() {
    if (logWriter) logWriter->close();
    logWriter.reset();
}

// --- the process -------------------------------------------------------------------

TInt32 MainView::exitMessage(const OString&) { return 0; }

void MainView::exit() { host::endProcess(0); }

// --- timers -------------------------------------------------------------------------

TInt32 MainView::addTimer(TInt32 listener, TInt32 delay) {
    return scheduler.addTimer(listener, TUint32(delay < 0 ? 0 : delay));
}

TInt32 MainView::removeTimer(TInt32 id) { return scheduler.removeTimer(id); }

bool MainView::updateTimerDelay(TInt32 id, TInt32 newDelay) {
    scheduler.updateDelay(id, TUint32(newDelay < 0 ? 0 : newDelay));
    return true;
}

// --- everything else --------------------------------------------------------------

TInt32 MainView::callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) {
    return extensions.call(extension, function, sp, stack);
}

OString MainView::rootDirectory() { return rootDirectory_; }
OString MainView::pathSeparator() { return OString("/"); }
OString MainView::platformName() { return OString("maemo"); }
TInt32 MainView::service12() { return 0; }
TInt32 MainView::service13() { return 0; }
TInt32 MainView::service23() { return 0; }
TInt32 MainView::service24(TInt32, TInt32) { return 0; }
void MainView::service25(bool, TInt32) {}
void MainView::screenFlag(bool) {}
void MainView::busyNotice(bool) {}
void MainView::addOrientationListener(TInt32) {}
void MainView::removeOrientationListener(TInt32) {}
TInt32 MainView::service37() { return 0; }
