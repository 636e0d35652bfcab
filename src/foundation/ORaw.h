// ORaw: the fixed-point number of bytecode programs, a signed 64-bit value with
// 32 fraction bits. Its extremes stand for the infinities: arithmetic and
// conversions saturate to them instead of wrapping.
#pragma once

#include "foundation/Types.h"

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace mcb {

class ORaw {
public:
    constexpr ORaw() = default;

    static constexpr ORaw fromRaw(TInt64 raw) { return ORaw(raw); }
    static constexpr ORaw fromInt(TInt32 n) { return ORaw(TInt64(TUint64(TInt64(n)) << 32)); }
    static constexpr ORaw fromParts(TInt32 integer, TUint32 fraction) {
        return ORaw(TInt64((TUint64(TUint32(integer)) << 32) | fraction));
    }
    // The stack order: the fraction word lies below the integer word.
    static constexpr ORaw fromWords(TUint32 low, TUint32 high) {
        return ORaw(TInt64((TUint64(high) << 32) | low));
    }
    // NaN raises error 8; out-of-range values saturate; the rest truncate toward zero.
    static ORaw toFixed(TReal r);

    constexpr TInt64 raw() const { return iValue; }
    constexpr TUint32 lowWord() const { return TUint32(TUint64(iValue)); }
    constexpr TUint32 highWord() const { return TUint32(TUint64(iValue) >> 32); }
    TReal toReal() const;

    // Integer results; round takes halves away from zero. Results beyond the int
    // range clamp to its largest value.
    TInt32 floor() const { return TInt32(iValue >> 32); }
    TInt32 ceiling() const;
    TInt32 round() const;

    constexpr bool isNegative() const { return iValue < 0; }
    ORaw abs() const;  // MIN gives MAX
    ORaw operator-() const;  // MAX and MIN swap
    ORaw operator+(ORaw b) const;
    ORaw operator-(ORaw b) const;
    ORaw operator*(ORaw b) const;
    ORaw& operator+=(ORaw b) { return *this = *this + b; }
    ORaw& operator-=(ORaw b) { return *this = *this - b; }
    ORaw& operator*=(ORaw b) { return *this = *this * b; }
    // Through double precision; a zero divisor raises error 8.
    static ORaw divide(ORaw a, ORaw b);
    // Domain errors raise error 8.
    static ORaw pow(ORaw x, ORaw y);

    constexpr auto operator<=>(const ORaw&) const = default;

    // Text form. parse raises 4 for text that is not a number (and 9 for an
    // impossible fraction); characters after the number are ignored.
    static ORaw parse(const TUint16* units, TInt32 n);
    static ORaw parse(std::string_view latin1);
    // decimals -1 writes every fraction digit; otherwise rounds to that many.
    std::string format(TInt32 decimals) const;

    static const ORaw MAX;
    static const ORaw MIN;
    static const ORaw ZERO;
    static const ORaw ONE;
    static const ORaw PI;
    static const ORaw E;
    static const ORaw EPSILON;

private:
    constexpr explicit ORaw(TInt64 v) : iValue(v) {}
    TInt64 iValue = 0;
};

inline constexpr ORaw ORaw::MAX = ORaw::fromRaw(INT64_MAX);
inline constexpr ORaw ORaw::MIN = ORaw::fromRaw(INT64_MIN);
inline constexpr ORaw ORaw::ZERO = ORaw::fromRaw(0);
inline constexpr ORaw ORaw::ONE = ORaw::fromInt(1);
inline constexpr ORaw ORaw::PI = ORaw::fromParts(3, 0x243F6A89);
inline constexpr ORaw ORaw::E = ORaw::fromParts(2, 0xB7E15163);
inline constexpr ORaw ORaw::EPSILON = ORaw::fromParts(0, 1);

}  // namespace mcb
