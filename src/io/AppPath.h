// The application path rule: which paths an application may name, and how
// they are resolved below its root directory.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/OString.h"

namespace host {

// Not empty and free of "..", ":" and "|".
bool isValidAppPath(const OString& path);
// Separators converted, every "//" collapsed, joined below `root`.
CAppsString resolveAppPath(const OString& root, const OString& path);
CAppsString toCApps(const OString& s);

}  // namespace host
