// The GeoClue2 client: Manager.GetClient, DesktopId and RequestedAccuracyLevel,
// Start, LocationUpdated with GetAll of the new location, and Stop.
#include "extensions/GeoClue.h"

#include "extensions/ExtensionMessages.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDateTime>
#include <QObject>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <mutex>
#include <unistd.h>

namespace mcb {

namespace {
constexpr const char* kClient = "org.freedesktop.GeoClue2.Client";
constexpr const char* kLocation = "org.freedesktop.GeoClue2.Location";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr quint32 kAccuracyExact = 8;

void sayNoSource() {
    static std::once_flag said;
    std::call_once(said, [] {
        extmsg::say("Location: no position source\n");
    });
}

double number(const QVariantMap& m, const char* key) {
    bool ok = false;
    const double v = m.value(key).toDouble(&ok);
    return ok && std::isfinite(v) && v > -DBL_MAX ? v : 0;  // GeoClue's unknown altitude is -DBL_MAX
}

VELMAR::DateTime localTime(const QVariant& timestamp) {
    quint64 seconds = 0, micros = 0;
    if (timestamp.canConvert<QDBusArgument>()) {
        const QDBusArgument arg = timestamp.value<QDBusArgument>();
        arg.beginStructure();
        arg >> seconds >> micros;
        arg.endStructure();
    }
    const QDateTime t = QDateTime::fromSecsSinceEpoch(qint64(std::min<quint64>(seconds, INT64_MAX / 1000))).toLocalTime();
    VELMAR::DateTime out;  // a time no date-time can hold stays at the epoch
    if (!t.isValid() || t.date().year() < 0 || t.date().year() > 9999) return out;
    out.setFromFields(t.date().day(), t.date().month(), t.date().year(), t.time().hour(), t.time().minute(),
                      t.time().second(), VELMAR::DateTime::ELocal);
    return out;
}

class GeoClueClient : public QObject, public PositionClient {
    Q_OBJECT
public:
    GeoClueClient(QDBusConnection bus, PositionSource::Listener listener)
        : bus_(std::move(bus)), listener_(std::move(listener)) {
        auto call = QDBusMessage::createMethodCall(GeoCluePositionSource::kService, "/org/freedesktop/GeoClue2/Manager",
                                                   "org.freedesktop.GeoClue2.Manager", "GetClient");
        whenAnswered(call, [this](const QDBusMessage& reply) { gotClient(reply); }, sayNoSource);
    }
    ~GeoClueClient() override {
        if (path_.isEmpty()) return;
        bus_.disconnect(GeoCluePositionSource::kService, path_, kClient, "LocationUpdated", this,
                        SLOT(locationUpdated(QDBusObjectPath, QDBusObjectPath)));
        bus_.send(QDBusMessage::createMethodCall(GeoCluePositionSource::kService, path_, kClient, "Stop"));
    }

private slots:
    void locationUpdated(const QDBusObjectPath&, const QDBusObjectPath& location) {
        auto call = QDBusMessage::createMethodCall(GeoCluePositionSource::kService, location.path(), kProperties, "GetAll");
        call << QString(kLocation);
        whenAnswered(call, [this](const QDBusMessage& reply) { gotLocation(reply); }, [] {});
    }

private:
    // Runs `then` with the reply, or `otherwise` on an error; neither once this client is gone.
    template <typename Then, typename Otherwise>
    void whenAnswered(const QDBusMessage& call, Then then, Otherwise otherwise) {
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [then, otherwise](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (w->isError()) return otherwise();
            then(w->reply());
        });
    }
    void setProperty(const char* name, const QVariant& value) {
        auto call = QDBusMessage::createMethodCall(GeoCluePositionSource::kService, path_, kProperties, "Set");
        call << QString(kClient) << QString(name) << QVariant::fromValue(QDBusVariant(value));
        bus_.send(call);
    }
    void gotClient(const QDBusMessage& reply) {
        const QDBusObjectPath path = reply.arguments().value(0).value<QDBusObjectPath>();
        if (path.path().isEmpty()) return sayNoSource();
        path_ = path.path();
        setProperty("DesktopId", QString("mcbplayer"));
        setProperty("RequestedAccuracyLevel", kAccuracyExact);
        bus_.connect(GeoCluePositionSource::kService, path_, kClient, "LocationUpdated", this,
                     SLOT(locationUpdated(QDBusObjectPath, QDBusObjectPath)));
        // A service that refuses this program (GeoClue's own configuration decides) gives nothing either.
        whenAnswered(QDBusMessage::createMethodCall(GeoCluePositionSource::kService, path_, kClient, "Start"),
                     [](const QDBusMessage&) {}, sayNoSource);
    }
    void gotLocation(const QDBusMessage& reply) {
        const QVariantMap m = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        PositionFix fix;
        fix.latitude = number(m, "Latitude");
        fix.longitude = number(m, "Longitude");
        fix.altitude = number(m, "Altitude");
        fix.accuracy = number(m, "Accuracy");
        fix.time = localTime(m.value("Timestamp"));
        listener_(fix);
    }

    QDBusConnection bus_;
    PositionSource::Listener listener_;
    QString path_;
};
}  // namespace

std::unique_ptr<PositionClient> GeoCluePositionSource::start(Listener listener) {
    if (!bus_.isConnected()) {
        sayNoSource();
        return nullptr;
    }
    return std::make_unique<GeoClueClient>(bus_, std::move(listener));
}

}  // namespace mcb

#include "GeoClue.moc"
