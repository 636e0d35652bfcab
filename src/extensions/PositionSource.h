// PositionSource: where position fixes come from. A client delivers fixes to
// its listener, on the machine's thread, until it is destroyed. The player's
// source is GeoClue2 on the system bus; tests give their own.
#pragma once

#include "natives/DateTime.h"

#include <functional>
#include <memory>

namespace mcb {

struct PositionFix {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;  // 0 when unknown
    double accuracy = 0;  // metres
    VELMAR::DateTime time;  // local time
};

class PositionClient {
public:
    virtual ~PositionClient() = default;  // stops the fixes
};

class PositionSource {
public:
    using Listener = std::function<void(const PositionFix&)>;
    virtual ~PositionSource() = default;
    virtual std::unique_ptr<PositionClient> start(Listener listener) = 0;
};

}  // namespace mcb
