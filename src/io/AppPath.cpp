// Application paths: validity and resolution.
#include "io/AppPath.h"

#include "io/FileUtility.h"

namespace host {

CAppsString toCApps(const OString& s) { return CAppsString(s.data(), s.length()); }

bool isValidAppPath(const OString& path) {
    if (path.isEmpty()) return false;
    for (TInt32 i = 0; i < path.length(); ++i) {
        TUint16 c = path.charAt(i);
        if (c == ':' || c == '|') return false;
        if (c == '.' && i + 1 < path.length() && path.charAt(i + 1) == '.') return false;
    }
    return true;
}

CAppsString resolveAppPath(const OString& root, const OString& path) {
    CAppsString p = FileUtility::convertSeparators(toCApps(path));
    CAppsString collapsed;
    for (TInt32 i = 0; i < p.getSize(); ++i)
        if (!(p[i] == '/' && !collapsed.isEmpty() && collapsed.last() == '/')) collapsed.append(p[i]);
    return FileUtility::join(toCApps(root), collapsed);
}

}  // namespace host
