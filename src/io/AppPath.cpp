// The application path rule, applied to the bytes that reach the system.
#include "io/AppPath.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace mcb {

namespace host {
namespace {
bool allowedComponent(const QByteArray& part) {
    return !part.contains("..") && !part.contains(':') && !part.contains('|') && !part.contains('\0');
}
}  // namespace

bool appPathBytes(const OString& path, std::string& relative) {
    if (path.isEmpty() || path.length() > kMaxAppPathUnits) return false;
    QString text = path.toQString();
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QByteArray bytes = QFile::encodeName(text);
    if (QFile::decodeName(bytes) != text) return false;
    std::string out;
    for (const QByteArray& part : bytes.split('/')) {
        if (part.isEmpty() || part == ".") continue;
        if (!allowedComponent(part)) return false;
        if (!out.empty()) out += '/';
        out.append(part.constData(), size_t(part.size()));
    }
    relative.swap(out);
    return true;
}

bool appNameFromBytes(const std::string& bytes, OString& name) {
    const QByteArray raw(bytes.data(), qsizetype(bytes.size()));
    const QString text = QFile::decodeName(raw);
    if (QFile::encodeName(text) != raw) return false;
    name = OString::fromQString(text);
    return true;
}

}  // namespace host

}  // namespace mcb
