// The desktop extension.
#include "extensions/Desktop.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <utility>

namespace mcb {

Desktop::Desktop(MVMCallbackInterface& vm, std::function<QDBusConnection()> bus, std::function<void()> minimise)
    : DeviceExtension(vm, kEntry), busOf_(std::move(bus)), minimise_(std::move(minimise)), replies_(new QObject) {}

const ExtensionFunction<Desktop> Desktop::kFunctions[] = {
    {1, "exit_to_desktop", &Desktop::exitToDesktop},
};

std::span<const ExtensionFunction<Desktop>> Desktop::functions() { return kFunctions; }

TInt32 Desktop::callDllNative(TInt32 function, TInt32 sp, TInt32* stack) {
    return callRow<Desktop>(kFunctions, function, sp, stack);
}

TInt32 Desktop::exitToDesktop(TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 0);
    leaveToDesktop();
    return s.noResult();
}

void Desktop::leaveToDesktop() {
    QDBusConnection bus = busOf_ ? busOf_() : QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (minimise_) minimise_();
        return;
    }
    if (asking_) {  // one request at a time; a call made meanwhile is sent when its answer comes
        askAgain_ = true;
        return;
    }
    asking_ = true;
    bus.send(QDBusMessage::createSignal("/lofasz", kDesktopName, "exit_app_view"));
    QDBusMessage query = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                        "org.freedesktop.DBus", "NameHasOwner");
    query << QString(kDesktopName);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(query), replies_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, replies_.get(), [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<bool> owned = *w;
        w->deleteLater();
        asking_ = false;
        if (!(owned.isValid() && owned.value()) && minimise_) minimise_();
        if (std::exchange(askAgain_, false)) leaveToDesktop();
    });
}

}  // namespace mcb
