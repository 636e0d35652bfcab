// The display-state signal ("display_status_ind" of "com.nokia.mce" on the
// system bus): subscribed whether or not the display service runs yet, and
// taken only from whoever owns that name, now or later.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <functional>

namespace mcb {

class DisplaySignalWatch : public QObject {
    Q_OBJECT
public:
    explicit DisplaySignalWatch(std::function<void(QString)> onState);
    // False only when there is no system bus at all. When it returns, the bus
    // has taken the subscription: no signal sent from then on is missed.
    bool connect(QDBusConnection bus);
    const QString& owner() const { return owner_; }

private slots:
    void signalled(const QString& state, const QDBusMessage& message);
    void ownerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    std::function<void(QString)> onState_;
    QString owner_;
};

}  // namespace mcb
