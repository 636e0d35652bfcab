// ORaw arithmetic: saturating add, subtract and multiply, division and powers
// through double precision, and the conversions to and from reals and ints.
#include "foundation/ORaw.h"

#include "foundation/VMError.h"

#include <cmath>

namespace mcb {

namespace {
constexpr TReal KTwoTo32 = 4294967296.0;
constexpr TUint64 KFractionMask = 0xFFFFFFFFu;

ORaw saturated(bool negative) { return negative ? ORaw::MIN : ORaw::MAX; }

// MIN has no positive counterpart; as an infinity its size is MAX's.
TUint64 magnitude(ORaw a) {
    if (a == ORaw::MIN) return TUint64(INT64_MAX);
    return a.isNegative() ? TUint64(-a.raw()) : TUint64(a.raw());
}

// The product of two magnitudes with 32 fraction bits, truncated; false when it
// does not fit in 63 bits.
bool multiplyMagnitudes(TUint64 a, TUint64 b, TUint64& product) {
    const TUint64 ah = a >> 32, al = a & KFractionMask;
    const TUint64 bh = b >> 32, bl = b & KFractionMask;
    const TUint64 hh = ah * bh;
    if (hh > KFractionMask) return false;
    TUint64 sum = hh << 32;
    if (__builtin_add_overflow(sum, ah * bl, &sum)) return false;
    if (__builtin_add_overflow(sum, al * bh, &sum)) return false;
    if (__builtin_add_overflow(sum, (al * bl) >> 32, &sum)) return false;
    if (sum >> 63) return false;
    product = sum;
    return true;
}
}  // namespace

ORaw ORaw::toFixed(TReal r) {
    if (std::isnan(r)) vmerr::raise(vmerr::Math);
    if (r >= 2147483648.0) return MAX;
    if (r <= -2147483648.0) return MIN;
    return ORaw(TInt64(r * KTwoTo32));
}

TReal ORaw::toReal() const { return TReal(iValue) / KTwoTo32; }

TInt32 ORaw::ceiling() const {
    if (iValue > INT64_MAX - TInt64(KFractionMask)) return INT32_MAX;
    return TInt32((iValue + TInt64(KFractionMask)) >> 32);
}

TInt32 ORaw::round() const {
    const TUint64 half = TUint64(1) << 31;
    const TUint64 exact = isNegative() ? 0 - TUint64(iValue) : TUint64(iValue);
    const TUint64 units = (exact + half) >> 32;
    if (isNegative()) return TInt32(-TInt64(units));
    return units > TUint64(INT32_MAX) ? INT32_MAX : TInt32(units);
}

ORaw ORaw::abs() const { return isNegative() ? -*this : *this; }

ORaw ORaw::operator-() const {
    if (iValue == INT64_MIN) return MAX;
    if (iValue == INT64_MAX) return MIN;
    return ORaw(-iValue);
}

ORaw ORaw::operator+(ORaw b) const {
    TInt64 sum;
    if (__builtin_add_overflow(iValue, b.iValue, &sum)) return saturated(iValue < 0);
    return ORaw(sum);
}

ORaw ORaw::operator-(ORaw b) const {
    TInt64 difference;
    if (__builtin_sub_overflow(iValue, b.iValue, &difference)) return saturated(iValue < 0);
    return ORaw(difference);
}

ORaw ORaw::operator*(ORaw b) const {
    const bool negative = isNegative() != b.isNegative();
    TUint64 product;
    if (!multiplyMagnitudes(magnitude(*this), magnitude(b), product)) return saturated(negative);
    return ORaw(negative ? -TInt64(product) : TInt64(product));
}

ORaw ORaw::divide(ORaw a, ORaw b) {
    if (b.iValue == 0) vmerr::raise(vmerr::Math);
    return toFixed(TReal(a.iValue) / TReal(b.iValue));
}

ORaw ORaw::pow(ORaw x, ORaw y) {
    if (y.iValue == 0) return ONE;
    if (x.iValue == 0) {
        if (y.isNegative()) vmerr::raise(vmerr::Math);
        return ZERO;
    }
    bool negative = false;
    if (x.isNegative()) {
        if (y.iValue & TInt64(KFractionMask)) vmerr::raise(vmerr::Math);
        negative = (y.floor() & 1) != 0;
    }
    const TReal r = std::pow(std::fabs(x.toReal()), std::fabs(y.toReal()));
    if (std::isnan(r)) return y.isNegative() ? ZERO : saturated(negative);
    // r is never negative; 0 is an underflow and 1 / 0 an overflow, both of
    // which saturate through toFixed.
    const TReal magnitudeOfResult = y.isNegative() ? 1.0 / r : r;
    return toFixed(negative ? -magnitudeOfResult : magnitudeOfResult);
}

}  // namespace mcb
