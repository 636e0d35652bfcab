// The accelerometer extension and its coordinate file.
#include "extensions/Accelerometer.h"

#include "foundation/ORaw.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace mcb {

Acceleration AccelerometerFile::read() {
    char text[256] = {};
    if (FILE* f = std::fopen(path_.c_str(), "re")) {
        const size_t n = std::fread(text, 1, sizeof text - 1, f);
        std::fclose(f);
        text[n] = 0;
    }
    return parse(text);
}

// As "%i %i %i" reads: each number after optional blanks, in the base its
// prefix says; the first that is no number ends the reading.
Acceleration AccelerometerFile::parse(const char* text) {
    TInt32 values[3] = {0, 0, 0};
    const char* p = text;
    for (TInt32& v : values) {
        char* end = nullptr;
        const long long n = std::strtoll(p, &end, 0);
        if (end == p) break;
        v = TInt32(std::clamp<long long>(n, INT_MIN, INT_MAX));
        p = end;
    }
    return {values[1], values[0], values[2]};
}

Accelerometer::Accelerometer(MVMCallbackInterface& vm, std::shared_ptr<AccelerationSource> source)
    : DeviceExtension(vm, kEntry), source_(std::move(source)) {}

const ExtensionFunction<Accelerometer> Accelerometer::kFunctions[] = {
    {11, "x", &Accelerometer::axis, kX, "() -> f"},
    {12, "y", &Accelerometer::axis, kY, "() -> f"},
    {13, "z", &Accelerometer::axis, kZ, "() -> f"},
};

std::span<const ExtensionFunction<Accelerometer>> Accelerometer::functions() { return kFunctions; }

TInt32 Accelerometer::callDllNative(TInt32 function, TInt32 sp, TInt32* stack) {
    if (!lookedUp_) {
        observer_ = findMethod(kObserver);
        lookedUp_ = true;
    }
    return callRow<Accelerometer>(kFunctions, function, sp, stack);
}

TInt32 Accelerometer::axis(TInt32 which, TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 0);
    const Acceleration a = source_->read();
    const TInt32 axis = which == kX ? a.x : which == kY ? a.y : a.z;
    return s.result64(ORaw::toFixed(axis / 1000.0).raw());
}

}  // namespace mcb
