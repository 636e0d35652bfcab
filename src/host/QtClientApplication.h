// QtClientApplication: the player's Qt application object. It watches the
// window manager's report of the current application window and tells the
// main view whether it is the window the user sees.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QApplication>

namespace mcb {

class MainView;

class QtClientApplication : public QApplication {
public:
    QtClientApplication(int& argc, char** argv);
    ~QtClientApplication() override;

    void setMainView(MainView* view) { mainView_ = view; }

    // Looks at one X event; never consumes it.
    bool x11EventFilter(const void* xcbEvent);

private:
    class CurrentWindowWatch : public QAbstractNativeEventFilter {
    public:
        explicit CurrentWindowWatch(QtClientApplication& app) : app_(app) {}
        bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

    private:
        QtClientApplication& app_;
    };

    void currentWindowChanged();

    MainView* mainView_ = nullptr;
    CurrentWindowWatch watch_;
};

}  // namespace mcb
