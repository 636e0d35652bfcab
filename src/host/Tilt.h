// Tilting a desktop: the accelerometer's readings from the keyboard (Ctrl and
// the arrows tilt in steps, Ctrl+0 lays the handset flat) and from a gamepad's
// first stick, read through the Linux joystick interface where one is present.
#pragma once

#include "extensions/Accelerometer.h"

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <string>

namespace mcb {

namespace tilt {

constexpr TInt32 kStep = 250;  // thousandths of g per key press
constexpr TInt32 kOneG = 1000;

// Lying flat, face up: all of gravity on Z.
Acceleration level();
// `a` tilted by (dx, dy) steps: X and Y within one g, Z what is left of one g.
Acceleration tilted(Acceleration a, int dx, int dy);
// A stick's position (each axis -32767 to 32767) as a tilt of up to one g.
Acceleration fromStick(int x, int y);

}  // namespace tilt

// Reads `struct js_event` records from a joystick device: axes 0 and 1 tilt,
// the rest is ignored. The descriptor may be anything that gives such records
// (tests hand it a pipe).
class Gamepad : public QObject {
    Q_OBJECT
public:
    Gamepad(int fd, std::function<void(Acceleration)> onTilt);
    ~Gamepad() override;
    // The first of /dev/input/js0 to js3 that opens; null when none does.
    static std::unique_ptr<Gamepad> openFirst(std::function<void(Acceleration)> onTilt,
                                              const std::string& pattern = "/dev/input/js%d");

private:
    void readEvents();

    int fd_;
    QSocketNotifier notifier_;
    std::function<void(Acceleration)> onTilt_;
    int x_ = 0, y_ = 0;
    std::string pending_;
};

}  // namespace mcb
