// The process's local time in a named zone while an InZone lives.
#pragma once

#include <QDateTime>
#include <QTimeZone>

#include <cstdlib>
#include <ctime>
#include <string>

namespace mcb {

// `usable` is false when the host cannot follow the zone (a POSIX rule such as "XST-3" still applies).
struct InZone {
    explicit InZone(const char* zone) : old(std::getenv("TZ") ? std::getenv("TZ") : "") {
        setenv("TZ", zone, 1);
        tzset();
        const QDateTime noon(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC);
        usable = QTimeZone(zone).isValid() &&
                 noon.toLocalTime().offsetFromUtc() == noon.toTimeZone(QTimeZone(zone)).offsetFromUtc();
    }
    ~InZone() {
        if (old.empty()) unsetenv("TZ");
        else setenv("TZ", old.c_str(), 1);
        tzset();
    }
    std::string old;
    bool usable;
};

}  // namespace mcb
