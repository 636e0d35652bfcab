// OString buffer management, editing and searching. Every mutation checks its
// arguments and allocates before touching the string, so a raised error leaves the
// value as it was; an unshared buffer is reused whenever the capacity rules allow.
#include "objects/OString.h"

#include "objects/TextSearch.h"
#include "foundation/VMError.h"
#include "foundation/MemoryBudget.h"

#include <QChar>
#include <QString>

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace mcb {

namespace {
// Keeps capacity + 1 units and the buffer header well inside size_t and TInt32.
constexpr TInt64 kMaxCapacity = 0x3FFFFFF0;

TInt32 capacityFor(TInt64 n) {
    TInt64 c = n * 6 / 5;  // floor(n * 1.2)
    if (c < 10) c = 10;
    if (n < 0) vmerr::raise(vmerr::InvalidArgument);
    if (c > kMaxCapacity) vmerr::raise(vmerr::msg::StringTooLarge);
    return TInt32(c);
}

// What a block of `capacity` characters costs its budget (the allocator's own
// header included).
TUint64 chargeFor(TInt32 capacity) {
    return sizeof(OStringBuffer) + (TUint64(capacity) + 1) * sizeof(TUint16) + 16;
}

// A block for n characters (capacity by the growth rule), terminated, unowned,
// charged to the current budget before it is allocated.
OStringBuffer* newBuffer(TInt64 n) {
    TInt32 cap = capacityFor(n);
    size_t bytes = sizeof(OStringBuffer) + (size_t(cap) + 1) * sizeof(TUint16);
    MemoryBudget* budget = MemoryBudget::current();
    if (budget) budget->charge(chargeFor(cap));
    auto* b = static_cast<OStringBuffer*>(std::malloc(bytes));
    if (!b) {
        if (budget) budget->release(chargeFor(cap));
        vmerr::raiseOutOfMemory();
    }
    if (budget) budget->retain();
    b->data = reinterpret_cast<TUint16*>(b + 1);
    b->refCount = 0;
    b->capacity = cap;
    b->length = TInt32(n);
    b->budget = budget;
    b->data[n] = 0;
    return b;
}

void freeBuffer(OStringBuffer* b) {
    if (MemoryBudget* budget = b->budget) {
        budget->release(chargeFor(b->capacity));
        budget->drop();
    }
    std::free(b);
}

void copyUnits(TUint16* dst, const TUint16* src, TInt32 n) {
    if (n > 0) std::memcpy(dst, src, size_t(n) * sizeof(TUint16));
}

OStringBuffer* copyOf(const TUint16* src, TInt32 n) {
    OStringBuffer* b = newBuffer(n);
    copyUnits(b->data, src, n);
    return b;
}

// True for a non-empty valid range, false for (0, -1); anything else raises 5.
bool checkRange(TInt32 start, TInt32 end, TInt32 length) {
    if (start == 0 && end == -1) return false;
    if (start < 0 || start > end || end >= length) vmerr::raise(vmerr::Range);
    return true;
}

TUint16 fold(TUint16 c, bool caseSensitive) {
    return caseSensitive ? c : OString::toLowerChar(c);
}

bool pointsInto(const TUint16* src, const TUint16* buffer, TInt32 len) {
    auto s = reinterpret_cast<uintptr_t>(src), b = reinterpret_cast<uintptr_t>(buffer);
    return s >= b && s <= b + size_t(len) * sizeof(TUint16);
}
}  // namespace

// --- construction ---------------------------------------------------------

OString::OString(const char* latin1, TInt32 offset) : GCObject(GCKind::String) {
    if (offset < 0) vmerr::raise(vmerr::IndexOutOfBounds);
    if (!latin1) return;
    const char* s = latin1 + offset;
    size_t n = std::strlen(s);
    if (n == 0) return;
    OStringBuffer* b = newBuffer(TInt64(n));
    for (size_t i = 0; i < n; ++i) b->data[i] = TUint8(s[i]);
    adopt(b);
}

OString::OString(const TUint16* units, TInt32 n) : GCObject(GCKind::String) {
    if (n < 0) vmerr::raise(vmerr::InvalidArgument);
    if (n == 0) return;
    adopt(copyOf(units, n));
}

OString::OString(TUint16 c, TInt32 n) : GCObject(GCKind::String) {
    if (n < 0) vmerr::raise(vmerr::InvalidArgument);
    if (n == 0) return;
    OStringBuffer* b = newBuffer(n);
    for (TInt32 i = 0; i < n; ++i) b->data[i] = c;
    adopt(b);
}

OString::OString(const OString& source, TInt32 start, TInt32 end, TInt32 step) : GCObject(GCKind::String) {
    if (!checkRange(start, end, source.length())) return;
    if (step < 1) vmerr::raise(vmerr::InvalidArgument);
    TInt32 span = end - start + 1;
    if (step == 1 && span == source.length()) {
        share(source.pBuffer);
        return;
    }
    TInt32 n = TInt32((TInt64(span) + step - 1) / step);
    OStringBuffer* b = newBuffer(n);
    for (TInt32 i = 0; i < n; ++i) b->data[i] = source.pBuffer->data[start + TInt64(i) * step];
    adopt(b);
}

OString::OString(const OString& o) : GCObject(GCKind::String) { share(o.pBuffer); }

OString::OString(OString&& o) noexcept : GCObject(GCKind::String), pBuffer(o.pBuffer) { o.pBuffer = nullptr; }

OString& OString::operator=(const OString& o) {
    share(o.pBuffer);
    return *this;
}

OString& OString::operator=(OString&& o) noexcept {
    if (this != &o) {
        release();
        pBuffer = o.pBuffer;
        o.pBuffer = nullptr;
    }
    return *this;
}

OString::~OString() { release(); }

OString OString::repeated(const OString& s, TInt32 n) {
    OString out(s);
    out.repeat(n);
    return out;
}

OString OString::fromUnsigned(TUint32 value, TInt32 radix) {
    if (radix < 2 || radix > 36) return OString();
    TUint16 digits[32];
    TInt32 n = 0;
    do {
        TUint32 d = value % TUint32(radix);
        digits[31 - n++] = TUint16(d < 10 ? '0' + d : 'a' + d - 10);
        value /= TUint32(radix);
    } while (value);
    return OString(digits + 32 - n, n);
}

OString OString::fromInt64(TInt64 value) {
    TUint64 magnitude = value < 0 ? 0 - TUint64(value) : TUint64(value);
    TUint16 digits[20];
    TInt32 n = 0;
    do {
        digits[19 - n++] = TUint16('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) digits[19 - n++] = '-';
    return OString(digits + 20 - n, n);
}

OString OString::fromQString(const QString& s) {
    return OString(reinterpret_cast<const TUint16*>(s.utf16()), TInt32(s.size()));
}

QString OString::toQString() const {
    return QString(reinterpret_cast<const QChar*>(data()), length());
}

// --- buffer ownership -----------------------------------------------------

void OString::share(OStringBuffer* b) {
    if (b == pBuffer) return;
    if (b) ++b->refCount;
    release();
    pBuffer = b;
}

void OString::adopt(OStringBuffer* fresh) {
    release();
    pBuffer = fresh;
    ++fresh->refCount;
}

void OString::release() {
    if (pBuffer && --pBuffer->refCount == 0) freeBuffer(pBuffer);
    pBuffer = nullptr;
}

// Replaces the content by a block composed aside (unowned): copied into this
// string's own block where the capacity rules allow, adopted otherwise.
void OString::store(OStringBuffer* composed, bool shrinking) {
    const TInt32 n = composed->length;
    bool fits = unshared() && n <= pBuffer->capacity;
    if (fits && (!shrinking || n > pBuffer->capacity / 2)) {
        copyUnits(units(), composed->data, n);
        pBuffer->length = n;
        units()[n] = 0;
        freeBuffer(composed);
        return;
    }
    adopt(composed);
}

TUint32 OString::sizeOutsideHeap() const {
    if (!pBuffer) return 0;
    return TUint32(sizeof(OStringBuffer) + (size_t(pBuffer->capacity) + 1) * sizeof(TUint16));
}

// --- queries ---------------------------------------------------------------

TUint16 OString::charAt(TInt32 index) const {
    if (index < 0 || index >= length()) vmerr::raise(vmerr::IndexOutOfBounds);
    return pBuffer->data[index];
}

// --- insertion --------------------------------------------------------------

void OString::insertTo(TInt32 position, const OString& source, TInt32 start, TInt32 end) {
    if (!checkRange(start, end, source.length())) return;
    if (position < 0 || position > length()) vmerr::raise(vmerr::IndexOutOfBounds);
    TInt32 k = end - start + 1;
    insertUnits(position, source.pBuffer->data + start, k,
                k == source.length() ? source.pBuffer : nullptr);
}

void OString::insertTo(TInt32 position, const OString& source) {
    insertTo(position, source, 0, source.length() - 1);
}

void OString::insertTo(TInt32 position, TUint16 c) {
    if (position < 0 || position > length()) vmerr::raise(vmerr::IndexOutOfBounds);
    insertUnits(position, &c, 1, nullptr);
}

// `whole` is the source's buffer when all of it is inserted, so that an empty
// string can share it instead of copying.
void OString::insertUnits(TInt32 position, const TUint16* src, TInt32 k, OStringBuffer* whole) {
    TInt32 len = length();
    if (len == 0) {
        assert(!pBuffer);
        if (whole) {
            share(whole);
        } else {
            adopt(copyOf(src, k));
        }
        return;
    }
    spliceUnits(position, 0, src, k);
}

// Replaces `removed` units at `start` by `k` units from `src`, in place when the
// buffer is this string's alone and large enough.
void OString::spliceUnits(TInt32 start, TInt32 removed, const TUint16* src, TInt32 k) {
    const TInt32 len = length();
    const TInt64 total = TInt64(len) - removed + k;
    const TInt32 tail = len - start - removed;
    if (unshared() && total <= pBuffer->capacity) {
        // The source may be this very string: keep it before moving the tail.
        std::vector<TUint16> copy;
        if (pointsInto(src, units(), len)) {
            copy.assign(src, src + k);
            src = copy.data();
        }
        TUint16* d = units();
        std::memmove(d + start + k, d + start + removed, size_t(tail) * sizeof(TUint16));
        copyUnits(d + start, src, k);
        pBuffer->length = TInt32(total);
        d[total] = 0;
        return;
    }
    OStringBuffer* b = newBuffer(total);
    copyUnits(b->data, pBuffer->data, start);
    copyUnits(b->data + start, src, k);
    copyUnits(b->data + start + k, pBuffer->data + start + removed, tail);
    adopt(b);
}

// --- trimming and case ------------------------------------------------------

void OString::trim() {
    TInt32 len = length();
    TInt32 first = 0;
    while (first < len && isSpace(pBuffer->data[first])) ++first;
    if (first == len) {
        release();
        return;
    }
    TInt32 last = len - 1;
    while (isSpace(pBuffer->data[last])) --last;
    const TUint16* d = pBuffer->data;
    TInt32 n = 0;
    for (TInt32 i = first; i <= last; ++i)
        if (i == first || !isSpace(d[i]) || !isSpace(d[i - 1])) ++n;
    assert(n > 0);
    if (n >= len) return;
    OStringBuffer* b = newBuffer(n);
    TInt32 w = 0;
    for (TInt32 i = first; i <= last; ++i)
        if (i == first || !isSpace(d[i]) || !isSpace(d[i - 1])) b->data[w++] = d[i];
    adopt(b);
}

void OString::trimStart() {
    TInt32 n = 0;
    while (n < length() && isSpace(pBuffer->data[n])) ++n;
    if (n > 0) removeRange(0, n - 1);
}

void OString::trimEnd() {
    TInt32 len = length();
    TInt32 n = 0;
    while (n < len && isSpace(pBuffer->data[len - 1 - n])) ++n;
    if (n > 0) removeRange(len - n, len - 1);
}

void OString::toUpper() { mapCase(&OString::toUpperChar); }
void OString::toLower() { mapCase(&OString::toLowerChar); }

// A string that the mapping leaves alone keeps its (possibly shared) buffer.
void OString::mapCase(TUint16 (*map)(TUint16)) {
    TInt32 len = length();
    TInt32 i = 0;
    while (i < len && map(pBuffer->data[i]) == pBuffer->data[i]) ++i;
    if (i == len) return;
    if (!unshared()) adopt(copyOf(pBuffer->data, len));
    for (; i < len; ++i) units()[i] = map(units()[i]);
}

// --- removal and replacement ---------------------------------------------------

TInt32 OString::removeAll(const OString& pattern, TInt32 start, TInt32 end, bool caseSensitive) {
    OString empty;
    return replaceAll(pattern, empty, start, end, caseSensitive);
}

TInt32 OString::replaceAll(const OString& pattern, const OString& replacement, TInt32 start,
                           TInt32 end, bool caseSensitive) {
    if (!checkRange(start, end, length())) return 0;
    const TInt32 m = pattern.length();
    if (m == 0) return 0;
    const TextSearch search(pattern.data(), m, caseSensitive, false);
    const TInt32 hits = scanMatches(search, m, start, end, nullptr, nullptr);
    if (hits == 0) return 0;
    const TInt32 r = replacement.length();
    const TInt64 total = length() + TInt64(hits) * (r - m);
    if (total > kMaxCapacity) vmerr::raise(vmerr::msg::StringTooLarge);
    if (total == 0) {
        release();
        return hits;
    }
    // Composed in a new block, found again rather than remembered: the pattern
    // or the replacement may be this very string.
    OStringBuffer* out = newBuffer(total);
    scanMatches(search, m, start, end, out, &replacement);
    store(out, r == 0);
    return hits;
}

void OString::removeRange(TInt32 start, TInt32 end) {
    TInt32 len = length();
    if (start < 0 || start > end || end >= len) vmerr::raise(vmerr::Range);
    TInt32 k = end - start + 1;
    TInt32 rest = len - k;
    if (rest == 0) {
        release();
    } else if (unshared() && rest > pBuffer->capacity / 2) {
        TUint16* d = units();
        std::memmove(d + start, d + end + 1, size_t(len - end - 1) * sizeof(TUint16));
        pBuffer->length = rest;
        d[rest] = 0;
    } else {
        OStringBuffer* b = newBuffer(rest);
        copyUnits(b->data, pBuffer->data, start);
        copyUnits(b->data + start, pBuffer->data + end + 1, len - end - 1);
        adopt(b);
    }
}

void OString::replaceRange(TInt32 start, TInt32 end, const OString& replacement) {
    TInt32 len = length();
    if (!checkRange(start, end, len)) return;
    if (replacement.isEmpty()) {
        removeRange(start, end);
        return;
    }
    if (start == 0 && end == len - 1) {
        share(replacement.pBuffer);
        return;
    }
    spliceUnits(start, end - start + 1, replacement.pBuffer->data, replacement.length());
}

void OString::repeat(TInt32 n) {
    if (n < 0) vmerr::raise(vmerr::InvalidArgument);
    if (n == 0) {
        release();
        return;
    }
    TInt32 len = length();
    if (n == 1 || len == 0) return;
    TInt64 total = TInt64(len) * n;
    if (total > kMaxCapacity) vmerr::raise(vmerr::msg::StringTooLarge);
    if (!(unshared() && total <= pBuffer->capacity)) {
        OStringBuffer* b = newBuffer(total);
        copyUnits(b->data, pBuffer->data, len);
        adopt(b);
    }
    TUint16* d = units();
    for (TInt32 i = 1; i < n; ++i) copyUnits(d + TInt64(i) * len, d, len);
    pBuffer->length = TInt32(total);
    d[total] = 0;
}

void OString::setCharAt(TInt32 index, TUint16 c) {
    if (charAt(index) == c) return;
    if (!unshared()) adopt(copyOf(pBuffer->data, length()));
    units()[index] = c;
}

// --- searching ---------------------------------------------------------------

// The first (or last) match inside start..end, in time linear in both.
TInt32 OString::search(const TUint16* pattern, TInt32 m, TInt32 start, TInt32 end, bool caseSensitive,
                       bool backwards) const {
    if (!checkRange(start, end, length())) return -1;
    if (m == 0 || m > end - start + 1) return -1;
    return TextSearch(pattern, m, caseSensitive, backwards).find(pBuffer->data, start, end);
}

TInt32 OString::find(const OString& pattern, TInt32 start, TInt32 end, bool caseSensitive) const {
    return search(pattern.data(), pattern.length(), start, end, caseSensitive, false);
}

TInt32 OString::findLast(const OString& pattern, TInt32 start, TInt32 end,
                         bool caseSensitive) const {
    return search(pattern.data(), pattern.length(), start, end, caseSensitive, true);
}

TInt32 OString::find(TUint16 c, TInt32 start, TInt32 end, bool caseSensitive) const {
    return search(&c, 1, start, end, caseSensitive, false);
}

TInt32 OString::findLast(TUint16 c, TInt32 start, TInt32 end, bool caseSensitive) const {
    return search(&c, 1, start, end, caseSensitive, true);
}

TInt32 OString::find(const OString& pattern, bool caseSensitive) const {
    return find(pattern, 0, length() - 1, caseSensitive);
}

TInt32 OString::findLast(const OString& pattern, bool caseSensitive) const {
    return findLast(pattern, 0, length() - 1, caseSensitive);
}

TInt32 OString::count(const OString& pattern, TInt32 start, TInt32 end, bool caseSensitive) const {
    if (!checkRange(start, end, length()) || pattern.isEmpty()) return 0;
    const TextSearch search(pattern.data(), pattern.length(), caseSensitive, false);
    return scanMatches(search, pattern.length(), start, end, nullptr, nullptr);
}

// Non-overlapping matches of m units inside a checked, non-empty range, left to
// right. With `out`, the string is composed into it as well, each match
// replaced by `replacement`.
TInt32 OString::scanMatches(const TextSearch& search, TInt32 m, TInt32 start, TInt32 end, OStringBuffer* out,
                            const OString* replacement) const {
    const TUint16* d = pBuffer->data;
    TInt32 n = 0, from = 0, w = 0;
    for (TInt32 p = start; p <= end - m + 1;) {
        const TInt32 q = search.find(d, p, end);
        if (q < 0) break;
        ++n;
        if (out) {
            copyUnits(out->data + w, d + from, q - from);
            w += q - from;
            copyUnits(out->data + w, replacement->data(), replacement->length());
            w += replacement->length();
            from = q + m;
        }
        p = q + m;
    }
    if (out) copyUnits(out->data + w, d + from, length() - from);
    return n;
}

// The character with the highest count; a tie goes to the one seen first.
TUint16 OString::mostFrequent(TInt32 start, TInt32 end, bool caseSensitive) const {
    if (isEmpty()) vmerr::raise(vmerr::DataFormat);
    if (!checkRange(start, end, length())) vmerr::raise(vmerr::DataFormat);
    std::unordered_map<TUint16, TInt32> counts;
    for (TInt32 i = start; i <= end; ++i) ++counts[fold(pBuffer->data[i], caseSensitive)];
    TUint16 best = 0;
    TInt32 bestCount = 0;
    for (TInt32 i = start; i <= end; ++i) {
        TUint16 c = fold(pBuffer->data[i], caseSensitive);
        if (counts[c] > bestCount) {
            best = c;
            bestCount = counts[c];
        }
    }
    return best;
}

// --- comparison ----------------------------------------------------------------

TInt32 OString::compareRun(TInt32 start, const OString& other, TInt32 n,
                           bool caseSensitive) const {
    if (start < 0 || n < 0 || TInt64(start) + n > length() || n > other.length())
        vmerr::raise(vmerr::IndexOutOfBounds);
    for (TInt32 i = 0; i < n; ++i) {
        TInt32 a = fold(pBuffer->data[start + i], caseSensitive);
        TInt32 b = fold(other.pBuffer->data[i], caseSensitive);
        if (a != b) return a - b;
    }
    return 0;
}

TInt32 OString::compareTo(const OString& other, bool caseSensitive) const {
    if (pBuffer == other.pBuffer) return 0;
    TInt32 shorter = std::min(length(), other.length());
    TInt32 d = compareRun(0, other, shorter, caseSensitive);
    if (d == 0) d = length() - other.length();
    return d < 0 ? -1 : d > 0 ? 1 : 0;
}

bool OString::equals(const OString& other, bool caseSensitive) const {
    if (pBuffer == other.pBuffer) return true;
    return length() == other.length() && compareRun(0, other, length(), caseSensitive) == 0;
}

// --- UTF-8 ------------------------------------------------------------------------

namespace {
// The UTF-8 bytes of n units, one by one: each unit on its own, except that a
// valid surrogate pair becomes the one 4-byte sequence of its code point, so
// that the result is well-formed and reads back.
template <typename Put>
void eachUtf8Byte(const TUint16* d, TInt32 len, Put put) {
    for (TInt32 i = 0; i < len; ++i) {
        TUint32 c = d[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < len && d[i + 1] >= 0xDC00 && d[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (d[++i] - 0xDC00);
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
            put(0x80 | ((c >> 6) & 0x3F));
        } else if (c < 0x80) {
            put(c);
            continue;
        } else if (c < 0x800) {
            put(0xC0 | (c >> 6));
        } else {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
        }
        put(0x80 | (c & 0x3F));
    }
}
}  // namespace

TInt64 OString::utf8Length() const {
    TInt64 n = 0;
    eachUtf8Byte(data(), length(), [&n](TUint32) { ++n; });
    return n;
}

void OString::writeUtf8(TUint8* out) const {
    eachUtf8Byte(data(), length(), [&out](TUint32 b) { *out++ = TUint8(b); });
}

Vec<TUint8> OString::toUtf8() const {
    const TInt64 n = utf8Length();
    if (n > INT32_MAX) vmerr::raise(vmerr::InvalidArgument);
    Vec<TUint8> out;
    out.resize(TInt32(n));
    writeUtf8(out.data());
    return out;
}

namespace {
// Length of the well-formed sequence at b[0..n), or 0 when it is ill-formed.
TInt32 wellFormedLength(const TUint8* b, TInt32 n) {
    TUint8 lead = b[0];
    if (lead < 0x80) return 1;
    TInt32 len;
    TUint8 lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (len > n || b[1] < lo || b[1] > hi) return 0;
    for (TInt32 i = 2; i < len; ++i)
        if (b[i] < 0x80 || b[i] > 0xBF) return 0;
    return len;
}
}  // namespace

// A 4-byte sequence yields its surrogate pair rather than losing the high bits.
// The bytes are checked and counted first, then decoded straight into the block.
OString OString::fromUtf8(const TUint8* bytes, TInt32 n) {
    if (n < 0) vmerr::raise(vmerr::InvalidArgument);
    TInt64 units = 0;
    for (TInt32 i = 0; i < n;) {
        TInt32 len = wellFormedLength(bytes + i, n - i);
        if (len == 0) vmerr::raise(vmerr::DataFormat);
        units += len == 4 ? 2 : 1;
        i += len;
    }
    OString out;
    if (units == 0) return out;
    OStringBuffer* b = newBuffer(units);
    TUint16* d = b->data;
    for (TInt32 i = 0; i < n;) {
        TInt32 len = wellFormedLength(bytes + i, n - i);
        TUint32 c = bytes[i] & (len == 1 ? 0x7F : 0x7F >> len);
        for (TInt32 k = 1; k < len; ++k) c = (c << 6) | (bytes[i + k] & 0x3F);
        if (c > 0xFFFF) {
            *d++ = TUint16(0xD800 + ((c - 0x10000) >> 10));
            *d++ = TUint16(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            *d++ = TUint16(c);
        }
        i += len;
    }
    out.adopt(b);
    return out;
}

// --- character classes --------------------------------------------------------------

bool OString::isDigit(TUint16 c) { return QChar::isDigit(char32_t(c)); }
bool OString::isLetter(TUint16 c) { return QChar::isLetter(char32_t(c)); }
bool OString::isSpace(TUint16 c) { return QChar::isSpace(char32_t(c)); }
bool OString::isUpper(TUint16 c) { return QChar::isUpper(char32_t(c)); }
bool OString::isLower(TUint16 c) { return QChar::isLower(char32_t(c)); }

TUint16 OString::toUpperChar(TUint16 c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? TUint16(c - 32) : c;
    char32_t u = QChar::toUpper(char32_t(c));
    return u <= 0xFFFF ? TUint16(u) : c;
}

TUint16 OString::toLowerChar(TUint16 c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? TUint16(c + 32) : c;
    char32_t u = QChar::toLower(char32_t(c));
    return u <= 0xFFFF ? TUint16(u) : c;
}

}  // namespace mcb
