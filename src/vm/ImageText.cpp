// Decoding of the image's two string encodings into 16-bit characters: names
// (one byte per character) and texts (UTF-8, one character per sequence).
#include "vm/ImageFile.h"

namespace mcb {

CAppsString decodeImageName(const std::string& bytes) {
    CAppsString s;
    s.reserve(TInt32(bytes.size()));
    for (unsigned char b : bytes) s.append(TUint16(b));
    return s;
}

namespace {

// Bytes a sequence takes, by its lead byte. Continuation bytes are not checked:
// only their low six bits count.
size_t sequenceLength(TUint8 lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

TUint16 decodeSequence(const TUint8* p, size_t n) {
    switch (n) {
        case 1: return p[0];
        case 2: return TUint16((p[0] & 0x1F) << 6 | (p[1] & 0x3F));
        case 3: return TUint16((p[0] & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F));
        default: return TUint16((p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F));
    }
}

}  // namespace

CAppsString decodeImageText(const std::string& bytes) {
    CAppsString s;
    s.reserve(TInt32(bytes.size()));
    const auto* p = reinterpret_cast<const TUint8*>(bytes.data());
    const size_t size = bytes.size();
    for (size_t i = 0; i < size;) {
        size_t n = sequenceLength(p[i]);
        if (n > size - i) {
            s.append(kReplacementCharacter);
            break;
        }
        s.append(decodeSequence(p + i, n));
        i += n;
    }
    return s;
}

}  // namespace mcb
