// The torch extension and its V4L2 control. Every failure leaves the
// descriptor as it was: open, or closed and forgotten, never closed twice.
#include "extensions/Torch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

namespace mcb {

namespace {
int torchControls(int fd, unsigned long request, TInt32& value) {
    v4l2_ext_control control{};
    control.id = V4l2VideoControl::kTorchControl;
    control.value = value;
    v4l2_ext_controls controls{};
    controls.ctrl_class = V4l2VideoControl::kCameraClass;
    controls.count = 1;
    controls.controls = &control;
    int result;
    do result = ::ioctl(fd, request, &controls);
    while (result < 0 && errno == EINTR);
    if (result == 0) value = control.value;
    return result;
}
}  // namespace

int V4l2VideoControl::open(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

int V4l2VideoControl::getTorch(int fd, TInt32& value) {
    value = 0;
    return torchControls(fd, VIDIOC_G_EXT_CTRLS, value);
}

int V4l2VideoControl::setTorch(int fd, TInt32 value) { return torchControls(fd, VIDIOC_S_EXT_CTRLS, value); }

void V4l2VideoControl::close(int fd) { ::close(fd); }

Torch::Torch(MVMCallbackInterface& vm, std::string device, std::string lensCover,
             std::shared_ptr<VideoControl> control)
    : DeviceExtension(vm, kEntry), device_(std::move(device)), lensCover_(std::move(lensCover)),
      control_(std::move(control)) {}

Torch::~Torch() { closeDevice(); }

const ExtensionFunction<Torch> Torch::kFunctions[] = {
    {1, "on", &Torch::switchTo, 1, "() -> ()"},
    {2, "off", &Torch::switchTo, 0, "() -> ()"},
    {3, "state", &Torch::readState, "() -> i"},
    {4, "lens_cover", &Torch::readLensCover, "() -> i"},
};

std::span<const ExtensionFunction<Torch>> Torch::functions() { return kFunctions; }

TInt32 Torch::callDllNative(TInt32 function, TInt32 sp, TInt32* stack) {
    return callRow<Torch>(kFunctions, function, sp, stack);
}

TInt32 Torch::switchTo(TInt32 on, TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 0);
    set(on);
    return s.noResult();
}

TInt32 Torch::readState(TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 0);
    s.leave(1);  // room for the result before the device is touched
    return s.result(state());
}

TInt32 Torch::readLensCover(TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 0);
    s.leave(1);
    return s.result(lensCoverOpen());
}

void Torch::fail(std::string what) {
    what += ": ";
    what += std::strerror(errno);
    report(CAppsString(what));
}

void Torch::openDevice() {
    if (fd_ >= 0) return;
    const int fd = control_->open(device_);
    if (fd < 0) fail("Torch: Failed to open video device: " + device_);
    fd_ = fd;
}

void Torch::closeDevice() {
    if (fd_ >= 0) control_->close(std::exchange(fd_, -1));
}

void Torch::set(TInt32 value) {
    openDevice();
    if (control_->setTorch(fd_, value) < 0)
        fail(std::string("Torch: Failed to set torch state to ") + (value ? "ON" : "OFF"));
    if (value == 0) closeDevice();
}

TInt32 Torch::state() {
    openDevice();
    TInt32 value = 0;
    if (control_->getTorch(fd_, value) < 0) fail("Torch: Failed to fetch torch state");
    if (value == 0) closeDevice();
    return value != 0 ? 1 : 0;
}

TInt32 Torch::lensCoverOpen() {
    FILE* f = std::fopen(lensCover_.c_str(), "re");
    if (!f) fail("Torch: Failed to fetch camera cover state from: " + lensCover_);
    char text[20] = {};
    text[std::fread(text, 1, 19, f)] = 0;
    std::fclose(f);
    return std::strcmp(text, "open\n") == 0 ? 1 : 0;
}

}  // namespace mcb
