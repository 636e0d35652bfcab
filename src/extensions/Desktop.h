// The desktop extension (37, "Maemo"): function 1 leaves the application for
// the desktop. It sends the desktop's "exit_app_view" signal on the session
// bus without waiting for anything; where nothing on the bus owns the
// desktop's name, the window is minimised instead, which is what leaving for
// the desktop means on any other desktop.
#pragma once

#include "extensions/DeviceExtension.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <memory>

namespace mcb {

class Desktop : public DeviceExtension {
public:
    static constexpr const char* kDesktopName = "com.nokia.hildon_desktop";

    // `bus` gives the session bus when first needed; `minimise` lowers the window.
    static constexpr ExtensionEntry kEntry{37, "Maemo", "Maemo: Unknown opcode!"};
    // The extension's functions, one row each.
    static std::span<const ExtensionFunction<Desktop>> functions();

    Desktop(MVMCallbackInterface& vm, std::function<QDBusConnection()> bus, std::function<void()> minimise);
    TInt32 callDllNative(TInt32 function, TInt32 sp, TInt32* stack) override;

private:
    static const ExtensionFunction<Desktop> kFunctions[];
    TInt32 exitToDesktop(TInt32 sp, TInt32* stack);
    void leaveToDesktop();

    std::function<QDBusConnection()> busOf_;
    std::function<void()> minimise_;
    // Replies to the name query arrive here; gone with the extension, so a late
    // reply minimises nothing.
    std::unique_ptr<QObject> replies_;
    // A request is under way: a loop of calls must not queue messages without
    // end, but the last call made meanwhile is still sent once it is answered.
    bool asking_ = false;
    bool askAgain_ = false;
};

}  // namespace mcb
