// Conversions of CAppsString to and from 8-bit encodings.
#include "foundation/CAppsString.h"

namespace mcb {

CAppsString& CAppsString::appendLatin1(std::string_view s) {
    reserve(getSize() + TInt32(s.size()));
    for (char c : s) Vec<TUint16>::append(TUint16(TUint8(c)));
    return *this;
}

CAppsString& CAppsString::appendUnits(const TUint16* units, TInt32 n) {
    if (n <= 0) return *this;
    reserve(getSize() + n);
    for (TInt32 i = 0; i < n; ++i) Vec<TUint16>::append(units[i]);
    return *this;
}

CAppsString& CAppsString::appendDecimal(TInt64 v) {
    return appendLatin1(std::to_string(v));
}

std::string CAppsString::toOsPath() const {
    std::string out;
    out.reserve(size_t(getSize()));
    for (TUint16 c : *this) out.push_back(char(c & 0xFF));
    return out;
}

std::string CAppsString::toUtf8() const {
    std::string out;
    for (TUint16 c : *this) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// Lenient decoding for host-side texts (file names from the OS, messages):
// a malformed byte is taken as Latin-1 rather than failing.
CAppsString CAppsString::fromUtf8(std::string_view s) {
    CAppsString out;
    size_t i = 0;
    while (i < s.size()) {
        TUint8 b = TUint8(s[i]);
        int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        bool ok = n > 0 && i + size_t(n) <= s.size();
        TUint32 cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; ok && k < n; ++k) {
            TUint8 c = TUint8(s[i + size_t(k)]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) {
            out.Vec<TUint16>::append(TUint16(b));
            ++i;
            continue;
        }
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            out.Vec<TUint16>::append(TUint16(0xD800 | (cp >> 10)));
            out.Vec<TUint16>::append(TUint16(0xDC00 | (cp & 0x3FF)));
        } else {
            out.Vec<TUint16>::append(TUint16(cp));
        }
        i += size_t(n);
    }
    return out;
}

bool CAppsString::operator==(std::string_view latin1) const {
    if (size_t(getSize()) != latin1.size()) return false;
    for (size_t i = 0; i < latin1.size(); ++i)
        if (data()[i] != TUint16(TUint8(latin1[i]))) return false;
    return true;
}

}  // namespace mcb
