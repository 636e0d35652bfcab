// GeoClue2 as the position source: each client asks the service's manager for
// a client of its own, starts it, reads every new location it reports and
// stops it when destroyed. Everything is asynchronous; a missing service says
// "Location: no position source" once and delivers nothing.
#pragma once

#include "extensions/PositionSource.h"

#include <QDBusConnection>

namespace mcb {

class GeoCluePositionSource : public PositionSource {
public:
    static constexpr const char* kService = "org.freedesktop.GeoClue2";
    explicit GeoCluePositionSource(QDBusConnection bus) : bus_(std::move(bus)) {}
    std::unique_ptr<PositionClient> start(Listener listener) override;

private:
    QDBusConnection bus_;
};

}  // namespace mcb
