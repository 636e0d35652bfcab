// The role this test binary plays beside the tests when started with
// MCB_EXTENSION_ROLE=geoclue: it owns org.freedesktop.GeoClue2 on the system bus
// and answers as the service does, telling on standard error what it was asked.
#include "ExtensionTestSupport.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>

namespace mcb {

namespace {
const QString kRoot = "/org/freedesktop/GeoClue2";
const QString kClientPath = kRoot + "/Client/1";

// One client; Start reports two locations, the second without an altitude.
class FakeGeoClue : public QDBusVirtualObject {
public:
    explicit FakeGeoClue(QDBusConnection bus) : bus_(bus) {}
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection&) override {
        const QString member = m.member();
        if (member == "GetClient") return reply(m, {QVariant::fromValue(QDBusObjectPath(kClientPath))});
        if (member == "Set") {
            say(m.arguments().value(1).toString() + "=" + m.arguments().value(2).value<QDBusVariant>().variant().toString());
            return reply(m, {});
        }
        if (member == "Start") {
            say("Start");
            reply(m, {});
            updated("/", kRoot + "/Location/1");
            updated(kRoot + "/Location/1", kRoot + "/Location/2");
            return true;
        }
        if (member == "Stop") {
            say("Stop");
            return reply(m, {});
        }
        if (member == "GetAll") return reply(m, {location(m.path().endsWith("1"))});
        return false;
    }

private:
    static void say(const QString& line) { std::fprintf(stderr, "%s\n", line.toUtf8().constData()); }
    bool reply(const QDBusMessage& m, const QList<QVariant>& arguments) { return bus_.send(m.createReply(arguments)); }
    void updated(const QString& from, const QString& to) {
        QDBusMessage s = QDBusMessage::createSignal(kClientPath, "org.freedesktop.GeoClue2.Client", "LocationUpdated");
        s << QVariant::fromValue(QDBusObjectPath(from)) << QVariant::fromValue(QDBusObjectPath(to));
        bus_.send(s);
    }
    static QVariant location(bool first) {
        QVariantMap map;
        map["Latitude"] = first ? 1.0 : 52.5;
        map["Longitude"] = first ? 2.0 : 13.25;
        map["Altitude"] = first ? 3.0 : -DBL_MAX;
        map["Accuracy"] = first ? 4.0 : 20.0;
        map["Speed"] = 0.0;
        QDBusArgument timestamp;
        timestamp.beginStructure();
        timestamp << quint64(first ? 1700000000 : 1800000000) << quint64(0);
        timestamp.endStructure();
        map["Timestamp"] = QVariant::fromValue(timestamp);
        return map;
    }
    QDBusConnection bus_;
};

int runHelper(const std::string& role) {
    static int argc = 1;
    static char name[] = "helper", *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::systemBus();
    FakeGeoClue geoclue(bus);
    if (role != "geoclue" || !bus.registerVirtualObject(kRoot, &geoclue, QDBusConnection::SubPath) ||
        !bus.registerService("org.freedesktop.GeoClue2"))
        return 2;
    return hosttest::serveLines(app, [](const std::string&) {});
}

const bool gRole = hosttest::playRole("MCB_EXTENSION_ROLE", runHelper);

}  // namespace

}  // namespace mcb
