// Quoting of raw byte strings for assembly text.
#include "TextQuote.h"
#include "foundation/Types.h"

#include <cstdio>

namespace mcb {

namespace mcbtools {
namespace {

// Length of the well-formed UTF-8 sequence starting at s[i], or 0 when there is none.
size_t utf8SequenceLength(std::string_view s, size_t i)
{
    const auto b = TUint8(s[i]);
    size_t n = 0;
    TUint32 cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto c = TUint8(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past 0x10FFFF are printed as escapes.
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    return n;
}

}  // namespace

std::string encodeUtf8(TUint32 cp)
{
    std::string out;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
    return out;
}

std::string quoteBytes(std::string_view s)
{
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const auto b = TUint8(s[i]);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += char(b);
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\t') {
            out += "\\t";
        } else if (b >= 0x20 && b < 0x7F) {
            out += char(b);
        } else if (const size_t n = b >= 0x80 ? utf8SequenceLength(s, i) : 0; n > 0) {
            out.append(s.substr(i, n));
            i += n;
            continue;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        }
        ++i;
    }
    out += '"';
    return out;
}

}  // namespace mcbtools

}  // namespace mcb
