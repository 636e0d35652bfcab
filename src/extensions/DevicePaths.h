// DevicePaths: where the device extensions find the device's files. The
// defaults are the handset's; tests and other hosts give their own.
#pragma once

#include <string>

namespace mcb {

struct DevicePaths {
    // Three integers in thousandths of g: Y, X, Z.
    std::string accelerometer = "/sys/class/i2c-adapter/i2c-3/3-001d/coord";
    // The camera, whose flash LED is the torch.
    std::string videoDevice = "/dev/video0";
    // "open\n" while the camera's lens cover is open.
    std::string lensCover = "/sys/devices/platform/gpio-switch/cam_shutter/state";
};

}  // namespace mcb
