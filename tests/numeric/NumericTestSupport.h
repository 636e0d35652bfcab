// Shared helpers of the numeric tests: catching VM errors and an exact
// reference arithmetic for fixed values.
#pragma once

#include "foundation/ORaw.h"
#include "foundation/VMError.h"

#include <random>
#include <string>

struct RaisedError {
    TInt32 code = 0;  // 0 when nothing was raised
    std::string text;
};

template <typename F>
RaisedError raisedBy(F&& body) {
    vmerr::clearPendingError();
    try {
        body();
    } catch (const ErrorHandlingException&) {
        return {vmerr::pendingErrorCode(), vmerr::pendingErrorTextUtf8()};
    }
    return {};
}

inline ORaw fx(TInt32 integer, TUint32 fraction = 0) { return ORaw::fromParts(integer, fraction); }

// Saturates an exact 128-bit result into the fixed range.
inline ORaw clampedExact(__int128 v) {
    if (v > INT64_MAX) return ORaw::MAX;
    if (v < INT64_MIN) return ORaw::MIN;
    return ORaw::fromRaw(TInt64(v));
}

// Raw values spread over every magnitude, with the extremes and small values
// common enough to hit the saturation edges.
class OperandSource {
public:
    explicit OperandSource(TUint32 seed) : iEngine(seed) {}
    ORaw next() {
        switch (iEngine() % 8) {
        case 0: return ORaw::fromRaw(TInt64(iEngine()));
        case 1: return ORaw::fromInt(TInt32(iEngine()));
        case 2: return iEngine() % 2 ? ORaw::MAX : ORaw::MIN;
        default: {
            const TUint32 bits = 1 + iEngine() % 63;
            const TInt64 v = TInt64(iEngine() >> (64 - bits));
            return ORaw::fromRaw(iEngine() % 2 ? -v : v);
        }
        }
    }

private:
    std::mt19937_64 iEngine;
};
