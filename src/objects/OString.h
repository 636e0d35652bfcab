// OString: the VM's text type, a copy-on-write string of 16-bit code units whose
// buffer is shared between copies and lives in host memory. A string object in the
// VM heap holds one as its host-side state; elsewhere it is an ordinary value.
#pragma once

#include "foundation/Types.h"
#include "foundation/Vec.h"
#include "heap/GCObject.h"

#include <vector>

class QString;

namespace mcb {

class MemoryBudget;
class TextSearch;

// Shared character block. Starts with no owner; every OString attached to it
// counts one, and the last one to leave frees it.
struct OStringBuffer {
    TUint16* data;      // capacity + 1 units; data[length] is always 0
    TInt32 refCount;
    TInt32 capacity;
    TInt32 length;
    MemoryBudget* budget;  // charged for the block, or null
};

class OString : public GCObject {
public:
    // Found by its kind in VMHeap::objectAs.
    using GCKindOwner = OString;
    static constexpr GCKind kGCKind = GCKind::String;

    OString() : GCObject(GCKind::String) {}
    // Latin-1: each byte up to the terminating 0 becomes one character.
    OString(const char* latin1, TInt32 offset = 0);
    OString(const TUint16* units, TInt32 n);
    OString(TUint16 c, TInt32 n);  // n copies of c
    // Every step-th character of source[start..end].
    OString(const OString& source, TInt32 start, TInt32 end, TInt32 step = 1);
    OString(const OString& o);
    OString(OString&& o) noexcept;
    OString& operator=(const OString& o);
    OString& operator=(OString&& o) noexcept;
    ~OString() override;

    static OString repeated(const OString& s, TInt32 n);
    static OString fromUnsigned(TUint32 value, TInt32 radix);  // radix 2..36, else empty
    static OString fromInt64(TInt64 value);
    // Strict UTF-8: an ill-formed sequence raises error 4.
    static OString fromUtf8(const TUint8* bytes, TInt32 n);
    static OString fromUtf8(const Vec<TUint8>& bytes) { return fromUtf8(bytes.data(), bytes.size()); }
    static OString fromQString(const QString& s);

    // --- queries ---------------------------------------------------------
    TInt32 length() const { return pBuffer ? pBuffer->length : 0; }
    bool isEmpty() const { return length() == 0; }
    TUint16 charAt(TInt32 index) const;
    TUint16 operator[](TInt32 index) const { return charAt(index); }
    // Null for the empty string.
    const TUint16* data() const { return pBuffer ? pBuffer->data : nullptr; }
    TInt32 capacity() const { return pBuffer ? pBuffer->capacity : 0; }
    bool sharesBufferWith(const OString& o) const { return pBuffer && pBuffer == o.pBuffer; }
    TInt32 bufferRefCount() const { return pBuffer ? pBuffer->refCount : 0; }

    // --- editing ------------------------------------------------------------
    // Ranges are inclusive (start, end); (0, -1) is the empty range.
    void insertTo(TInt32 position, const OString& source, TInt32 start, TInt32 end);
    void insertTo(TInt32 position, const OString& source);
    void insertTo(TInt32 position, TUint16 c);
    void prepend(const OString& source) { insertTo(0, source); }
    void append(const OString& source) { insertTo(length(), source); }
    void append(TUint16 c) { insertTo(length(), c); }

    void trim();  // both ends, and every inner run of white space cut to its first character
    void trimStart();
    void trimEnd();
    void toUpper();
    void toLower();

    TInt32 removeAll(const OString& pattern, TInt32 start, TInt32 end, bool caseSensitive);
    TInt32 replaceAll(const OString& pattern, const OString& replacement, TInt32 start,
                      TInt32 end, bool caseSensitive);
    void removeRange(TInt32 start, TInt32 end);
    void replaceRange(TInt32 start, TInt32 end, const OString& replacement);
    void repeat(TInt32 n);
    void setCharAt(TInt32 index, TUint16 c);
    void clear() { release(); }

    // --- searching and comparing -------------------------------------------
    // Position of the first (last) match inside the range, or -1.
    TInt32 find(const OString& pattern, TInt32 start, TInt32 end, bool caseSensitive) const;
    TInt32 find(TUint16 c, TInt32 start, TInt32 end, bool caseSensitive) const;
    TInt32 findLast(const OString& pattern, TInt32 start, TInt32 end, bool caseSensitive) const;
    TInt32 findLast(TUint16 c, TInt32 start, TInt32 end, bool caseSensitive) const;
    TInt32 find(const OString& pattern, bool caseSensitive = true) const;
    TInt32 findLast(const OString& pattern, bool caseSensitive = true) const;

    // Non-overlapping occurrences inside the range.
    TInt32 count(const OString& pattern, TInt32 start, TInt32 end, bool caseSensitive) const;
    TUint16 mostFrequent(TInt32 start, TInt32 end, bool caseSensitive) const;

    // Difference of the first differing units of this[start..start+n) and
    // other[0..n), after lower-casing both when not case sensitive; 0 when equal.
    TInt32 compareRun(TInt32 start, const OString& other, TInt32 n, bool caseSensitive) const;
    TInt32 compareRun(const OString& other, TInt32 n, bool caseSensitive) const {
        return compareRun(0, other, n, caseSensitive);
    }
    // -1, 0 or 1: unit by unit over the shorter length, then the shorter is smaller.
    TInt32 compareTo(const OString& other, bool caseSensitive) const;
    bool equals(const OString& other, bool caseSensitive = true) const;
    bool operator==(const OString& o) const { return equals(o, true); }

    // --- conversion ---------------------------------------------------------
    // The UTF-8 form (a valid surrogate pair as one 4-byte sequence): its length,
    // the bytes into `out` (utf8Length() of them), or a new Vec.
    TInt64 utf8Length() const;
    void writeUtf8(TUint8* out) const;
    Vec<TUint8> toUtf8() const;
    QString toQString() const;

    // --- character classes (Unicode tables of the host library) ------------
    static bool isDigit(TUint16 c);
    static bool isLetter(TUint16 c);
    static bool isSpace(TUint16 c);
    static bool isUpper(TUint16 c);
    static bool isLower(TUint16 c);
    static TUint16 toUpperChar(TUint16 c);
    static TUint16 toLowerChar(TUint16 c);

    TUint32 sizeOutsideHeap() const override;

private:
    void share(OStringBuffer* b);
    void adopt(OStringBuffer* fresh);
    void release();
    bool unshared() const { return pBuffer && pBuffer->refCount == 1; }
    TUint16* units() { return pBuffer->data; }
    void insertUnits(TInt32 position, const TUint16* src, TInt32 k, OStringBuffer* whole);
    void spliceUnits(TInt32 start, TInt32 removed, const TUint16* src, TInt32 k);
    void store(OStringBuffer* composed, bool shrinking);
    void mapCase(TUint16 (*map)(TUint16));
    TInt32 search(const TUint16* pattern, TInt32 m, TInt32 start, TInt32 end, bool caseSensitive,
                  bool backwards) const;
    TInt32 scanMatches(const TextSearch& search, TInt32 m, TInt32 start, TInt32 end, OStringBuffer* out,
                       const OString* replacement) const;

    OStringBuffer* pBuffer = nullptr;
};

}  // namespace mcb
