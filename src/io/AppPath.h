// The application path rule: which paths an application may name below its
// root directory, and the bytes such a path becomes for the system.
#pragma once

#include "objects/OString.h"

#include <string>

namespace mcb {

namespace host {

// The bytes that `path` names below the root, or false when the rule refuses
// it. The path is converted once: "\" becomes "/", then the text is encoded as
// the file system's names are (UTF-8); a character that encoding cannot carry
// (an unpaired surrogate) refuses the path rather than being replaced. The rule
// holds on those bytes, component by component: none may contain "..", ":",
// "|" or a 0 byte, and an empty path is refused. Empty and "." components are
// dropped, so `relative` is "a/b" for "./a//b/." and empty for the root itself.
// A path longer than kMaxAppPathUnits characters is refused before it is
// converted: the system takes none longer than PATH_MAX bytes anyway.
constexpr TInt32 kMaxAppPathUnits = 4096;
bool appPathBytes(const OString& path, std::string& relative);
inline bool isValidAppPath(const OString& path) {
    std::string ignored;
    return appPathBytes(path, ignored);
}

// A name read from the file system as the application sees it; false when the
// bytes are not a name appPathBytes could give back (not UTF-8).
bool appNameFromBytes(const std::string& bytes, OString& name);

}  // namespace host

}  // namespace mcb
