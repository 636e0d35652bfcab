// Keyboard tilt steps and the joystick reader.
#include "host/Tilt.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/joystick.h>
#include <unistd.h>

namespace mcb {

namespace tilt {

Acceleration level() { return {0, 0, -kOneG}; }

Acceleration tilted(Acceleration a, int dx, int dy) {
    Acceleration t;
    t.x = std::clamp(a.x + dx * kStep, -kOneG, kOneG);
    t.y = std::clamp(a.y + dy * kStep, -kOneG, kOneG);
    double rest = double(kOneG) * kOneG - double(t.x) * t.x - double(t.y) * t.y;
    t.z = -TInt32(std::lround(std::sqrt(std::max(0.0, rest))));
    return t;
}

Acceleration fromStick(int x, int y) {
    auto scale = [](int v) { return std::clamp(TInt32(std::lround(v * double(kOneG) / 32767)), -kOneG, kOneG); };
    return tilted({scale(x), scale(y), 0}, 0, 0);
}

}  // namespace tilt

Gamepad::Gamepad(int fd, std::function<void(Acceleration)> onTilt)
    : fd_(fd), notifier_(fd, QSocketNotifier::Read), onTilt_(std::move(onTilt)) {
    connect(&notifier_, &QSocketNotifier::activated, this, &Gamepad::readEvents);
}

Gamepad::~Gamepad() { ::close(fd_); }

std::unique_ptr<Gamepad> Gamepad::openFirst(std::function<void(Acceleration)> onTilt, const std::string& pattern) {
    for (int i = 0; i < 4; ++i) {
        char path[256];
        std::snprintf(path, sizeof path, pattern.c_str(), i);
        int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) return std::make_unique<Gamepad>(fd, std::move(onTilt));
    }
    return nullptr;
}

void Gamepad::readEvents() {
    char buf[sizeof(js_event) * 16];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) notifier_.setEnabled(false);  // unplugged
        return;
    }
    pending_.append(buf, size_t(n));
    bool moved = false;
    while (pending_.size() >= sizeof(js_event)) {
        js_event e;
        std::copy_n(pending_.data(), sizeof e, reinterpret_cast<char*>(&e));
        pending_.erase(0, sizeof e);
        if ((e.type & ~JS_EVENT_INIT) != JS_EVENT_AXIS || e.number > 1) continue;
        (e.number == 0 ? x_ : y_) = e.value;
        moved = true;
    }
    if (moved) onTilt_(tilt::fromStick(x_, y_));
}

}  // namespace mcb
