// CAppsString: a plain, unshared string of 16-bit characters. Used for paths,
// image string constants, trace-log strings and VM error texts.
#pragma once

#include "foundation/Vec.h"

#include <string>
#include <string_view>

namespace mcb {

class CAppsString : public Vec<TUint16> {
public:
    CAppsString() = default;
    CAppsString(const char* latin1) { appendLatin1(latin1); }
    CAppsString(std::string_view latin1) { appendLatin1(latin1); }
    CAppsString(const TUint16* units, TInt32 n) { appendUnits(units, n); }

    static CAppsString fromUtf8(std::string_view utf8);

    CAppsString& appendLatin1(std::string_view s);
    CAppsString& appendUnits(const TUint16* units, TInt32 n);
    CAppsString& append(const CAppsString& s) { return appendUnits(s.data(), s.getSize()); }
    CAppsString& appendDecimal(TInt64 v);
    using Vec<TUint16>::append;

    // Each character narrowed to its low 8 bits, as operating-system paths are.
    std::string toOsPath() const;
    std::string toUtf8() const;
    // Latin-1 view for messages known to hold only 8-bit characters.
    std::string toLatin1() const { return toOsPath(); }

    bool operator==(const CAppsString& o) const { return Vec<TUint16>::operator==(o); }
    bool operator==(std::string_view latin1) const;
};

}  // namespace mcb
