// The accelerometer extension (20): bytecode polls the three axes, each as a
// fixed value in g. Readings come from an AccelerationSource: the device's
// coordinate file by default, or readings set from outside (tests, keys or a
// gamepad on a desktop).
#pragma once

#include "extensions/DeviceExtension.h"

#include <atomic>
#include <memory>
#include <string>

namespace mcb {

// One reading, in thousandths of g.
struct Acceleration {
    TInt32 x = 0, y = 0, z = 0;
    bool operator==(const Acceleration&) const = default;
};

// Where readings come from. read() is called on every poll.
class AccelerationSource {
public:
    virtual ~AccelerationSource() = default;
    virtual Acceleration read() = 0;
};

// The kernel's coordinate file, read afresh on every poll: three integers as
// "%i" reads them (decimal, 0 octal, 0x hexadecimal), the first Y, the second X,
// the third Z. What the file does not hold reads as 0, a missing file as all 0.
class AccelerometerFile : public AccelerationSource {
public:
    explicit AccelerometerFile(std::string path) : path_(std::move(path)) {}
    Acceleration read() override;
    static Acceleration parse(const char* text);

private:
    std::string path_;
};

// A reading set from outside, from any thread.
class SetAcceleration : public AccelerationSource {
public:
    void set(Acceleration a) {
        x_ = a.x;
        y_ = a.y;
        z_ = a.z;
    }
    Acceleration read() override { return {x_, y_, z_}; }

private:
    std::atomic<TInt32> x_{0}, y_{0}, z_{0};
};

class Accelerometer : public DeviceExtension {
public:
    static constexpr const char* kObserver = "<accelerometerobserver>.handle accelerometer event<fixed><fixed><fixed>";

    static constexpr ExtensionEntry kEntry{20, "Accelerometer", "SensorDLL: Unknown opcode!"};
    // The extension's functions, one row each.
    static std::span<const ExtensionFunction<Accelerometer>> functions();

    Accelerometer(MVMCallbackInterface& vm, std::shared_ptr<AccelerationSource> source);
    TInt32 callDllNative(TInt32 function, TInt32 sp, TInt32* stack) override;
    // The observer's handle (looked up on the first call; -1 when the image has
    // none, which is no error: no event is ever sent to it).
    TInt32 observer() const { return observer_; }

private:
    static const ExtensionFunction<Accelerometer> kFunctions[];
    enum Axis : TInt32 { kX, kY, kZ };
    // () -> the axis's reading in g as a fixed value.
    TInt32 axis(TInt32 which, TInt32 sp, TInt32* stack);

    std::shared_ptr<AccelerationSource> source_;
    bool lookedUp_ = false;
    TInt32 observer_ = -1;
};

}  // namespace mcb
