// Qt key codes to player key codes, and keys.ini.
#include "host/KeyMapping.h"

#include <QKeySequence>
#include <Qt>

#include <fstream>
#include <sstream>

namespace mcb {

namespace host {
namespace {
std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// A key without modifiers, as Qt's portable names spell it; 0 when it is not one.
int pcKey(const std::string& name) {
    QKeySequence seq = QKeySequence::fromString(QString::fromStdString(name), QKeySequence::PortableText);
    if (seq.count() != 1 || seq[0].keyboardModifiers() != Qt::NoModifier) return 0;
    return seq[0].key() == Qt::Key_unknown ? 0 : int(seq[0].key());
}

bool handsetKey(const std::string& name, KeyMap::Key& out) {
    static const std::pair<const char*, KeyMap::Key> kNamed[] = {
        {"Up", {kUpKey, ""}},          {"Down", {kDownKey, ""}},   {"Left", {kLeftKey, ""}},
        {"Right", {kRightKey, ""}},    {"Return", {kReturnKey, "\r"}}, {"Backspace", {kBackspaceKey, "\b"}},
        {"Other", {kOtherKey, ""}},
    };
    for (auto& [n, key] : kNamed)
        if (QString::fromStdString(name).compare(n, Qt::CaseInsensitive) == 0) return out = key, true;
    if (name.size() == 1) {
        char c = name[0];
        int code = (c >= 'a' && c <= 'z') ? c - 32 : c;
        if (code < 32 || code > 96) return false;
        return out = {code, QString(QChar(c))}, true;
    }
    char* end = nullptr;
    long long v = std::strtoll(name.c_str(), &end, 0);
    if (name.empty() || *end || v < INT32_MIN || v > INT32_MAX) return false;
    return out = {TInt32(v), QString()}, true;
}
}  // namespace

TInt32 playerKeyCode(int qtKey) {
    if (qtKey >= 32 && qtKey <= 96) return qtKey;
    switch (qtKey) {
    case Qt::Key_Return: return kReturnKey;
    case Qt::Key_Backspace: return kBackspaceKey;
    case Qt::Key_Left: return kLeftKey;
    case Qt::Key_Right: return kRightKey;
    case Qt::Key_Up: return kUpKey;
    case Qt::Key_Down: return kDownKey;
    default: return kOtherKey;
    }
}

// The file lies in the data directory, where the application writes too: a
// key map is a few lines, and a file far larger is not read at all.
void KeyMap::load(const std::string& path, std::vector<std::string>& warnings) {
    constexpr std::streamsize kMaxBytes = 64 << 10;
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    std::string text(size_t(kMaxBytes) + 1, '\0');
    text.resize(size_t(in.read(text.data(), kMaxBytes + 1).gcount()));
    if (std::streamsize(text.size()) > kMaxBytes) {
        warnings.push_back(path + ": larger than 64 KiB; not read");
        return;
    }
    parse(text, path, warnings);
}

void KeyMap::parse(const std::string& text, const std::string& source, std::vector<std::string>& warnings) {
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        line = trimmed(line.substr(0, line.find_first_of("#;")));
        if (line.empty() || line[0] == '[') continue;
        size_t eq = line.find('=');
        std::string left = eq == std::string::npos ? line : trimmed(line.substr(0, eq));
        std::string right = eq == std::string::npos ? "" : trimmed(line.substr(eq + 1));
        int key = pcKey(left);
        Key target;
        auto where = source + ":" + std::to_string(number) + ": ";
        if (eq == std::string::npos) warnings.push_back(where + "expected 'PC KEY = HANDSET KEY'");
        else if (!key) warnings.push_back(where + "'" + left + "' is not a key name");
        else if (!handsetKey(right, target)) warnings.push_back(where + "'" + right + "' is not a handset key");
        else overrides_[key] = target;
    }
}

KeyMap::Key KeyMap::map(int qtKey, const QString& text) const {
    auto it = overrides_.find(qtKey);
    return it != overrides_.end() ? it->second : Key{playerKeyCode(qtKey), text};
}

}  // namespace host

}  // namespace mcb
