// MainView: the player's one full-screen window. It starts the application,
// turns key, pointer, visibility and display events into calls of its
// exported methods, and is the host behind FrameworkServices: files under the
// root directory, clocks, the log, timers, orientation and extensions.
#pragma once

#include "foundation/OString.h"
#include "host/ExtensionTable.h"
#include "host/MainViewBase.h"
#include "host/Scheduler.h"
#include "io/AppFiles.h"

#include <memory>

class QKeyEvent;
class QMouseEvent;

class MainView : public MainViewBase {
    Q_OBJECT
public:
    // `rootDirectory`: the application's root as the system names it (bytes).
    explicit MainView(const std::string& rootDirectory);
    ~MainView() override;

    // Creates the machine, loads "index.mcb" from the root directory and runs
    // its initialiser and main; a missing image ends the process with status 1.
    void start();
    // From the window manager's report of the current application window.
    void setApplicationVisible(bool visible);
    bool isRotatedPortrait() const override;
    const Scheduler& timers() const { return scheduler; }
    // The device extensions, and where they reach the device.
    ExtensionTable& extensionTable() { return extensions; }

    // --- FileSystemServices ---------------------------------------------------
    std::unique_ptr<CAppsFileWriter> openForWriting(const OString& path, bool truncate) override;
    std::unique_ptr<CAppsFileReader> openForReading(const OString& path, TInt32 flag) override;
    bool deleteFile(const OString& path) override;
    bool fileExists(const OString& path) override;
    TInt32 fileService5(TInt32 argument) override;
    bool renameFile(const OString& from, const OString& to) override;
    bool listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) override;
    bool createDirectory(const OString& path) override;
    bool removeDirectory(const OString& path) override;
    bool renameDirectory(const OString& from, const OString& to) override;
    bool directoryExists(const OString& path) override;

    // --- FrameworkServices ------------------------------------------------------
    TInt32 service12() override;
    TInt32 service13() override;
    OString pathSeparator() override;
    OString platformName() override;
    TInt32 currentMillis() override;
    TInt32 elapsedMillis() override;
    void log(const OString& message) override;
    bool openLog(const OString& path) override;
    TInt32 exitMessage(const OString& message) override;
    void exit() override;
    TInt32 service23() override;
    TInt32 service24(TInt32 a, TInt32 b) override;
    void service25(bool flag, TInt32 value) override;
    void screenFlag(bool flag) override;
    void setOrientation(TInt32 value) override;
    TInt32 orientation() override;
    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override;
    void screenSize(TInt32& width, TInt32& height) override;
    void busyNotice(bool busy) override;
    void addOrientationListener(TInt32 object) override;
    void removeOrientationListener(TInt32 object) override;
    TInt32 addTimer(TInt32 listener, TInt32 delay) override;
    TInt32 removeTimer(TInt32 id) override;
    bool updateTimerDelay(TInt32 id, TInt32 newDelay) override;
    TInt32 service37() override;
    OString rootDirectory() override;

public slots:
    void displaySignal(QString state);

protected:
    TInt32 requestedOrientation() const override { return orientation_; }
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void deliverKey(QKeyEvent* e, bool pressed);
    void deliverPointer(TInt32 kind, QMouseEvent* e);
    void updateForeground();
    void setOrientationToPortrait(bool portrait);
    void closeLog();

    Scheduler scheduler;
    TUint64 startMicros = 0;
    AppFiles files;  // everything the application reaches below its root
    OString rootDirectory_;
    TInt32 orientation_ = 2;
    std::shared_ptr<CAppsFileWriter> logWriter;
    bool visible = false;
    bool displayOn = true;
    ExtensionTable extensions;
};
