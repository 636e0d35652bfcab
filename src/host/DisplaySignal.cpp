// Subscription to the display state with the name's owner tracked here:
// Qt's own tracking would miss signals sent before it learnt the owner.
#include "host/DisplaySignal.h"

#include <QDBusConnectionInterface>
#include <QDebug>

namespace mcb {

namespace {
const char* const kService = "com.nokia.mce";
}

DisplaySignalWatch::DisplaySignalWatch(std::function<void(QString)> onState) : onState_(std::move(onState)) {}

bool DisplaySignalWatch::connect(QDBusConnection bus) {
    if (!bus.isConnected()) return false;
    bool ok = bus.connect("", "/com/nokia/mce/signal", "com.nokia.mce.signal", "display_status_ind", "s", this,
                          SLOT(signalled(QString, QDBusMessage)));
    ok = ok && bus.connect("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                           this, SLOT(ownerChanged(QString, QString, QString)));
    if (!ok) return false;
    // A call answered after the subscriptions were sent: the bus has them now.
    QDBusMessage reply = bus.call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                                 "org.freedesktop.DBus", "GetNameOwner")
                                  << QString(kService));
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        owner_ = reply.arguments().first().toString();
    qDebug("display signal: subscribed, %s", owner_.isEmpty() ? "no owner yet" : qPrintable("owner " + owner_));
    return true;
}

void DisplaySignalWatch::signalled(const QString& state, const QDBusMessage& message) {
    if (!owner_.isEmpty() && message.service() == owner_) onState_(state);
}

void DisplaySignalWatch::ownerChanged(const QString& name, const QString&, const QString& newOwner) {
    if (name == kService) owner_ = newOwner;
}

}  // namespace mcb
