// MainView: the player's one window. It starts the application, turns key,
// pointer, visibility and display events into calls of its exported methods,
// and is the host behind FrameworkServices: files under the root directory
// (and the data directory), clocks, the log, timers, orientation and
// extensions. On a desktop it also scales the picture, takes screenshots,
// records and replays input, and runs on stepped time when asked to.
#pragma once

#include "objects/OString.h"
#include "host/EventClock.h"
#include "host/ExtensionTable.h"
#include "host/KeyMapping.h"
#include "host/MainViewBase.h"
#include "host/Recording.h"
#include "host/Scheduler.h"
#include "io/OverlayFiles.h"

#include <QRect>
#include <QSize>
#include <QTimer>

#include <map>
#include <memory>
#include <set>

class QKeyEvent;
class QMouseEvent;

namespace mcb {

class Gamepad;

// How a run goes beyond what the application decides (from the command line).
struct RunSettings {
    std::string imageName = "index.mcb";  // below the root directory
    std::string appName;                  // the window's title
    std::string dataDirectory;            // empty: the root directory itself
    int scale = 0;                        // 0: fit the window; N: N times
    bool smooth = false;
    bool portrait = false;                // a portrait picture is never turned
    bool stepped = false;                 // stepped time (EventClock.h) and a fixed seed: --headless
    TInt64 frames = 0;                    // the run ends after this many frames (0: never)
    std::string screenshot;               // the last frame goes here when the run ends
    std::string record;                   // inputs and frames are recorded here
    const Recording* replay = nullptr;    // inputs come from here
    TUint64 imageLimit = TUint64(1) << 30;  // larger images are refused unread
    QSize windowSize{800, 480};           // a window's size when it leaves full screen
};

class MainView : public MainViewBase {
    Q_OBJECT
public:
    // `rootDirectory`: the application's root as the system names it (bytes).
    explicit MainView(const std::string& rootDirectory);
    ~MainView() override;

    // Before start(): how the run goes. False with a message when the
    // recording cannot be written (a data directory that cannot be made is
    // said and left out: the application then writes into its own folder).
    bool configure(const RunSettings& settings, std::string& error);
    // Creates the machine, loads the image from the root directory and runs its
    // initialiser and main; a missing image ends the process with status 1.
    void start();
    // Writes what the run leaves behind (screenshot, the recording's end, the
    // log file); once, whichever way the run ends.
    void finishRun();
    // From the window manager's report of the current application window.
    void setApplicationVisible(bool visible);
    bool isRotatedPortrait() const override;
    const Scheduler& timers() const { return scheduler; }
    // The device extensions, and where they reach the device.
    ExtensionTable& extensionTable() { return extensions; }
    // The frames the application has drawn so far.
    TInt64 framesDrawn() const { return frames_; }
    // The accelerometer's desktop source: keys, a gamepad, a replay.
    const std::shared_ptr<SetAcceleration>& tiltSource() const { return tilt_; }
    // A new tilt reading (from a gamepad), taken in turn like every input.
    void tiltTo(Acceleration a);
    // A gamepad's readings from now on (tests hand in a stand-in).
    void setGamepad(std::unique_ptr<Gamepad> pad);
    void toggleFullScreen();
    // The file a screenshot key press wrote last (empty: none).
    const std::string& lastScreenshot() const { return lastScreenshot_; }

    // --- FileSystemServices ---------------------------------------------------
    std::unique_ptr<CAppsFileWriter> openForWriting(const OString& path, bool truncate) override;
    std::unique_ptr<CAppsFileReader> openForReading(const OString& path, TInt32 flag) override;
    bool deleteFile(const OString& path) override;
    bool fileExists(const OString& path) override;
    TInt32 reservedFileQuery(TInt32 argument) override;
    bool renameFile(const OString& from, const OString& to) override;
    bool listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) override;
    bool createDirectory(const OString& path) override;
    bool removeDirectory(const OString& path) override;
    bool renameDirectory(const OString& from, const OString& to) override;
    bool directoryExists(const OString& path) override;

    // --- FrameworkServices ------------------------------------------------------
    TInt32 primaryHostValue() override;
    TInt32 secondaryHostValue() override;
    OString pathSeparator() override;
    OString platformName() override;
    TInt32 currentMillis() override;
    TInt32 elapsedMillis() override;
    void log(const OString& message) override;
    bool openLog(const OString& path) override;
    TInt32 exitMessage(const OString& message) override;
    void exit() override;
    TInt32 reservedQuery() override;
    TInt32 reservedPairQuery(TInt32 a, TInt32 b) override;
    void reservedSetting(bool flag, TInt32 value) override;
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
    TInt32 reservedLateQuery() override;
    OString rootDirectory() override;

public slots:
    void displaySignal(QString state);

protected:
    TInt32 requestedOrientation() const override { return orientation_; }
    void frameDrawn() override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    // Every input goes through here: applied at once, or in turn on stepped time.
    void input(InputEvent e);
    void apply(const InputEvent& e);
    bool desktopKey(QKeyEvent* e);
    void updateForeground();
    void setOrientationToPortrait(bool portrait);
    void closeLog();
    void startSteppedTime();
    void takeScreenshot();
    void showTitleNotice(const QString& text);
    std::unique_ptr<CAppsFileReader> openImage();
    [[noreturn]] void failToOpen(const std::string& why);
    TInt64 clockMillis();

    Scheduler scheduler;
    TUint64 startMicros = 0;
    OverlayFiles files;  // everything the application reaches below its root
    OString rootDirectory_;
    TInt32 orientation_ = 2;
    std::shared_ptr<CAppsFileWriter> logWriter;
    bool visible = false;
    bool displayOn = true;
    bool lastActive_ = false;  // the foreground state last reported to the application
    ExtensionTable extensions;

    RunSettings settings_;
    host::KeyMap keys_;
    std::set<int> desktopKeysDown_;  // their releases are not the application's
    bool pressInside_ = false;       // the pointer went down on the picture
    std::shared_ptr<SetAcceleration> tilt_;
    std::unique_ptr<Gamepad> gamepad_;
    std::unique_ptr<EventClock> clock_;
    TInt64 clockStart_ = 0;          // stepped time: the clock services' time 0
    RecordWriter recorder_;
    std::map<TInt32, TUint64> expectedFrames_;  // replay: the recording's frame hashes
    bool mismatchSaid_ = false;
    TInt64 frames_ = 0;
    bool finished_ = false;
    QTimer titleTimer_;
    QRect normalGeometry_;  // the window's place before it filled the screen
    std::string lastScreenshot_;
};

}  // namespace mcb
