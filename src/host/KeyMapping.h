// Player key codes: printable codes 32 to 96 as Qt reports them, six named
// keys, and one code for every other key; and the key map, which a keys.ini
// file of the application's data directory may change key by key.
#pragma once

#include "foundation/Types.h"

#include <QString>

#include <map>
#include <string>
#include <vector>

namespace mcb {

namespace host {

constexpr TInt32 kOtherKey = 0x1000000;
constexpr TInt32 kReturnKey = 0x1000001;
constexpr TInt32 kBackspaceKey = 0x1000002;
constexpr TInt32 kLeftKey = 0x1000003;
constexpr TInt32 kRightKey = 0x1000004;
constexpr TInt32 kUpKey = 0x1000005;
constexpr TInt32 kDownKey = 0x1000006;

TInt32 playerKeyCode(int qtKey);

// The default map (playerKeyCode, the key's own text) and the keys a keys.ini
// file sends elsewhere. Lines read "PC KEY = HANDSET KEY": the PC key as Qt
// names it ("W", "Space", "Enter", "F5"), the handset key one of Up, Down,
// Left, Right, Return, Backspace, Other, a character (code 32 to 96, letters
// as their capitals) or a number. "#" and ";" start comments; "[...]" lines
// are ignored.
class KeyMap {
public:
    // What the application receives for a key.
    struct Key {
        TInt32 code;
        QString text;
    };

    // A missing file changes nothing; each line that cannot be read is left
    // out with a warning naming it.
    void load(const std::string& path, std::vector<std::string>& warnings);
    void parse(const std::string& text, const std::string& source, std::vector<std::string>& warnings);
    Key map(int qtKey, const QString& text) const;
    size_t overrides() const { return overrides_.size(); }

private:
    std::map<int, Key> overrides_;
};

}  // namespace host

}  // namespace mcb
