// ORaw text conversion: parsing decimal text into a fixed value and writing a
// fixed value with an exact or rounded number of decimals.
#include "foundation/ORaw.h"

#include "foundation/VMError.h"

#include <QChar>

namespace mcb {

namespace {
constexpr TUint64 KFractionMask = 0xFFFFFFFFu;
// Past 10^19 the denominator would overflow; digits that far down can no longer
// change a 32-bit fraction, so they end it as an over-long numerator does.
constexpr TUint64 KLargestDenominator = 10000000000000000000u;
// A fixed value has at most 32 non-zero fraction digits; anything far beyond is
// a runaway request that would only exhaust host memory.
constexpr TInt32 KMaxDecimals = 1 << 20;

bool isDigitAt(const TUint16* units, TInt32 i, TInt32 n) {
    return i < n && units[i] >= '0' && units[i] <= '9';
}

// Reads the digits after the point from units[i]; returns the 32-bit fraction.
TUint64 parseFraction(const TUint16* units, TInt32 i, TInt32 n) {
    TUint64 numerator = 0;
    TUint64 denominator = 1;
    for (; isDigitAt(units, i, n); ++i) {
        const TUint64 next = numerator * 10 + (units[i] - '0');
        if (next > KFractionMask || denominator == KLargestDenominator) break;
        numerator = next;
        denominator *= 10;
    }
    const TUint64 fraction = (numerator << 32) / denominator;
    if (fraction > KFractionMask) vmerr::raise(vmerr::AssertionFailed);
    return fraction;
}

// The next decimal digit of a 32-bit fraction; the fraction keeps the rest.
char nextDigit(TUint64& fraction) {
    fraction *= 10;
    const char digit = char('0' + (fraction >> 32));
    fraction &= KFractionMask;
    return digit;
}

// Rounds the written digits up by one unit of the last; true when the carry
// leaves the digits (all were 9 and are now 0).
bool carryInto(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return false;
        }
        *it = '0';
    }
    return true;
}
}  // namespace

ORaw ORaw::parse(const TUint16* units, TInt32 n) {
    if (!units || n < 0) n = 0;
    TInt32 i = 0;
    while (i < n && QChar::isSpace(char32_t(units[i]))) ++i;
    if (i == n) vmerr::raise(vmerr::DataFormat);
    while (i < n && units[i] == '+') ++i;
    const bool negative = i < n && units[i] == '-';
    if (negative) ++i;
    if (!isDigitAt(units, i, n)) vmerr::raise(vmerr::DataFormat);
    TInt64 integer = 0;
    for (; isDigitAt(units, i, n); ++i) {
        integer = integer * 10 + (units[i] - '0');
        if (integer > INT32_MAX) return negative ? MIN : MAX;
    }
    TUint64 fraction = 0;
    if (i < n && units[i] == '.') {
        ++i;
        if (!isDigitAt(units, i, n)) vmerr::raise(vmerr::DataFormat);
        fraction = parseFraction(units, i, n);
    }
    const TInt64 value = TInt64((TUint64(integer) << 32) + fraction);
    return ORaw(negative ? -value : value);
}

ORaw ORaw::parse(std::string_view latin1) {
    std::u16string units;
    for (char c : latin1) units.push_back(char16_t(TUint8(c)));
    return parse(reinterpret_cast<const TUint16*>(units.data()), TInt32(units.size()));
}

std::string ORaw::format(TInt32 decimals) const {
    if (decimals > KMaxDecimals) vmerr::raise(vmerr::InvalidArgument);
    std::string text = isNegative() ? "-" : "";
    // 64-bit negation: MIN becomes 2^63, whose integer part still fits.
    const TUint64 magnitude = isNegative() ? 0 - TUint64(iValue) : TUint64(iValue);
    TUint64 integer = magnitude >> 32;
    TUint64 fraction = magnitude & KFractionMask;
    std::string digits;
    if (decimals == -1) {
        do {
            digits += nextDigit(fraction);
        } while (fraction != 0);
    } else {
        for (TInt32 k = 0; k < decimals; ++k) digits += nextDigit(fraction);
        if (nextDigit(fraction) >= '5' && carryInto(digits)) {
            if (integer >= TUint64(INT32_MAX)) {
                digits.assign(digits.size(), '9');
            } else {
                ++integer;
            }
        }
    }
    text += std::to_string(integer);
    if (!digits.empty()) text += "." + digits;
    return text;
}

}  // namespace mcb
