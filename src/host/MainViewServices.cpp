// The host services of the main view: application files under the root
// directory, the log and its file, exit, timers, extensions, and the
// operations this host answers with 0 or ignores.
#include "foundation/MemoryBudget.h"
#include "host/HostProcess.h"
#include "host/MainView.h"
#include "io/AppPath.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"

// --- files ------------------------------------------------------------------------

namespace mcb {

std::unique_ptr<CAppsFileWriter> MainView::openForWriting(const OString& path, bool truncate) {
    return files.openForWriting(path, truncate);
}

std::unique_ptr<CAppsFileReader> MainView::openForReading(const OString& path, TInt32) {
    return files.openForReading(path);
}

bool MainView::deleteFile(const OString& path) { return files.deleteFile(path); }

bool MainView::fileExists(const OString& path) { return files.fileExists(path); }

TInt32 MainView::reservedFileQuery(TInt32) { return 0; }

bool MainView::renameFile(const OString& from, const OString& to) { return files.renameFile(from, to); }

bool MainView::listDirectory(const OString& path, Vec<OString>& fileNames, Vec<OString>& directories) {
    return files.listDirectory(path, fileNames, directories);
}

bool MainView::createDirectory(const OString& path) { return files.createDirectory(path); }

bool MainView::removeDirectory(const OString& path) { return files.removeDirectory(path); }

bool MainView::renameDirectory(const OString& from, const OString& to) { return files.renameDirectory(from, to); }

bool MainView::directoryExists(const OString& path) { return files.directoryExists(path); }

// --- the log ------------------------------------------------------------------------

void MainView::log(const OString& message) {
    FrameworkServices::log(message);
    if (std::FILE* copy = host::logCopy()) {  // the same bytes as on standard error
        writeLogLine(copy, message);
        std::fflush(copy);
    }
    if (!logWriter || message.isEmpty()) return;
    static const char kPrefix[] = "LOG: ";
    logWriter->writeByteBufferToFile(reinterpret_cast<const TUint8*>(kPrefix), 5);
    BudgetCharge encoding(TUint64(message.length()) * 3);  // the message in UTF-8, while it is written
    logWriter->write(message.toUtf8());
    logWriter->write(TUint8(10));
}

bool MainView::openLog(const OString& path) {
    if (path.isEmpty()) {
        closeLog();
        return true;
    }
    if (!host::isValidAppPath(path)) return false;
    closeLog();
    logWriter = files.openForWriting(path, true);
    return logWriter != nullptr;
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
TInt32 MainView::primaryHostValue() { return 0; }
TInt32 MainView::secondaryHostValue() { return 0; }
TInt32 MainView::reservedQuery() { return 0; }
TInt32 MainView::reservedPairQuery(TInt32, TInt32) { return 0; }
void MainView::reservedSetting(bool, TInt32) {}
void MainView::screenFlag(bool) {}
void MainView::busyNotice(bool) {}
void MainView::addOrientationListener(TInt32) {}
void MainView::removeOrientationListener(TInt32) {}
TInt32 MainView::reservedLateQuery() { return 0; }

}  // namespace mcb
