// The host services of the main view: application files under the root
// directory, the log and its file, exit, timers, extensions, and the
// operations this host answers with 0 or ignores.
#include "host/HostProcess.h"
#include "host/MainView.h"
#include "io/AppFiles.h"
#include "io/AppPath.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"

CAppsString MainView::resolve(const OString& path) const {
    if (!host::isValidAppPath(path)) return CAppsString();
    return host::resolveAppPath(rootDirectory_, path);
}

// --- files ------------------------------------------------------------------------

std::unique_ptr<CAppsFileWriter> MainView::openForWriting(const OString& path, bool truncate) {
    return appfiles::openForWriting(resolve(path), truncate);
}

std::unique_ptr<CAppsFileReader> MainView::openForReading(const OString& path, TInt32) {
    return appfiles::openForReading(resolve(path));
}

bool MainView::deleteFile(const OString& path) { return appfiles::deleteFile(resolve(path)); }

bool MainView::fileExists(const OString& path) { return appfiles::fileExists(resolve(path)); }

TInt32 MainView::fileService5(TInt32) { return 0; }

bool MainView::renameFile(const OString& from, const OString& to) {
    return appfiles::renameFile(resolve(from), resolve(to));
}

bool MainView::listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) {
    return appfiles::listDirectory(resolve(path), files, directories);
}

bool MainView::createDirectory(const OString& path) { return appfiles::createDirectory(resolve(path)); }

bool MainView::removeDirectory(const OString& path) { return appfiles::removeDirectory(resolve(path)); }

bool MainView::renameDirectory(const OString& from, const OString& to) {
    return appfiles::renameDirectory(resolve(from), resolve(to));
}

bool MainView::directoryExists(const OString& path) { return appfiles::directoryExists(resolve(path)); }

// --- the log ------------------------------------------------------------------------

void MainView::log(const OString& message) {
    FrameworkServices::log(message);
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
