// The torch extension (36): the camera's flash LED switched on and off as a
// torch through a V4L2 extended control, its state, and whether the camera's
// lens cover is open. The device is opened on first use and closed whenever
// the torch is found or switched off. Device access goes through VideoControl,
// so that tests can stand in for a camera.
#pragma once

#include "extensions/DeviceExtension.h"

#include <memory>
#include <string>

namespace mcb {

// The device calls of the torch. Failures answer -1 with errno set.
class VideoControl {
public:
    virtual ~VideoControl() = default;
    virtual int open(const std::string& path) = 0;  // a descriptor
    virtual int getTorch(int fd, TInt32& value) = 0;
    virtual int setTorch(int fd, TInt32 value) = 0;
    virtual void close(int fd) = 0;
};

// The flash LED of a V4L2 camera: control 0x009A0910 of the camera class.
class V4l2VideoControl : public VideoControl {
public:
    static constexpr TUint32 kCameraClass = 0x009A0000;
    static constexpr TUint32 kTorchControl = 0x009A0910;
    int open(const std::string& path) override;
    int getTorch(int fd, TInt32& value) override;
    int setTorch(int fd, TInt32 value) override;
    void close(int fd) override;
};

class Torch : public DeviceExtension {
public:
    static constexpr ExtensionEntry kEntry{36, "Torch", "Torch: Unknown opcode!"};
    // The extension's functions, one row each.
    static std::span<const ExtensionFunction<Torch>> functions();

    Torch(MVMCallbackInterface& vm, std::string device, std::string lensCover, std::shared_ptr<VideoControl> control);
    ~Torch() override;
    TInt32 callDllNative(TInt32 function, TInt32 sp, TInt32* stack) override;
    bool isOpen() const { return fd_ >= 0; }

private:
    static const ExtensionFunction<Torch> kFunctions[];
    TInt32 switchTo(TInt32 on, TInt32 sp, TInt32* stack);
    TInt32 readState(TInt32 sp, TInt32* stack);
    TInt32 readLensCover(TInt32 sp, TInt32* stack);
    void openDevice();
    void closeDevice();
    void set(TInt32 value);
    TInt32 state();
    TInt32 lensCoverOpen();
    // The runtime-error report with `what`, ": " and the text of errno.
    [[noreturn]] void fail(std::string what);

    std::string device_, lensCover_;
    std::shared_ptr<VideoControl> control_;
    int fd_ = -1;
};

}  // namespace mcb
