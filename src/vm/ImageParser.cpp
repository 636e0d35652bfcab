// The image parser: reads every section of a bytecode image from a bounded
// buffer into an ImageFile. Every read is checked against the buffer's end and
// every count against the bytes that remain, so no input can make it overrun
// or allocate beyond a small multiple of the input's size; what each section
// will hold is charged to the caller's budget before it is made.
#include "vm/ImageFile.h"

#include "foundation/MemoryBudget.h"

#include "vm/Instructions.h"

#include <climits>
#include <string_view>

namespace mcb {

namespace {

constexpr TUint8 kIdentifierLengthByte = kImageIdentifierLength;
constexpr TUint8 kMarkerByte = 0xFF;

const char* const kWidthNames[kImageWidthCount] = {
    "W1 (code address)",         "W2 (method descriptor index)", "W3 (class index)",
    "W4 (superclass present)",   "W5 (trailing list count)",     "W6 (first length)",
    "W7 (second length)",        "W8 (third length)",            "W9 (implementation count)"};

struct ParseFailure {};

class ImageParser {
public:
    ImageParser(const TUint8* data, size_t size, ImageError& error, BudgetCharge* charge = nullptr)
        : data_(data), size_(size), error_(error), charge_(charge) {}

    void identifier(std::array<TUint8, kImageIdentifierLength>& out);
    void parse(ImageFile& out);

private:
    void header(ImageFile& out);
    void globalMethods(ImageFile& out);
    void selectors(ImageFile& out);
    void globals(ImageFile& out);
    void classes(ImageFile& out);
    ImageClass oneClass();
    void descriptors(ImageFile& out);
    ImageDescriptor oneDescriptor();
    void strings(ImageFile& out);
    void code(ImageFile& out);

    std::vector<TInt32> indexList(TUint8 width, const char* what);
    std::vector<ImageArraySlot> arraySlotList(TUint8 width, const char* what);

    [[noreturn]] void fail(size_t offset, std::string expected);
    void need(size_t n, const char* what);
    size_t remaining() const { return size_ - pos_; }
    TUint8 u8(const char* what);
    TInt32 i32(const char* what);
    TInt32 coded(TUint8 width, const char* what);
    TUint8 recordWidth(const char* what);
    TUint8 arrayFlag(const char* what);
    TInt32 count(TInt32 value, size_t at, const char* what, size_t minItemBytes, size_t hostItemBytes);
    TInt32 count(const char* what, size_t minItemBytes, size_t hostItemBytes);
    TInt32 codedCount(TUint8 width, const char* what, size_t minItemBytes, size_t hostItemBytes);
    void charge(TUint64 hostBytes) {
        if (charge_) charge_->grow(hostBytes + 16);  // and the allocator's header
    }
    std::string bytes(const char* what);
    TUint8 w(ImageWidth i) const { return widths_[i]; }
    void enter(const char* section, std::string item = {}) {
        section_ = section;
        item_ = std::move(item);
    }

    const TUint8* data_;
    size_t size_;
    size_t pos_ = 0;
    ImageError& error_;
    BudgetCharge* charge_;
    const char* section_ = "header";
    std::string item_;
    std::array<TUint8, kImageWidthCount> widths_{};
    size_t selectorCount_ = 0;
};

std::string itemName(const char* kind, size_t i) {
    return std::string(kind) + " " + std::to_string(i);
}

void ImageParser::fail(size_t offset, std::string expected) {
    error_.offset = TUint32(offset);
    error_.section = item_.empty() ? std::string(section_) : std::string(section_) + ", " + item_;
    error_.expected = std::move(expected);
    throw ParseFailure{};
}

void ImageParser::need(size_t n, const char* what) {
    if (remaining() < n)
        fail(pos_, std::to_string(n) + " byte(s) for " + what + ", found " +
                       std::to_string(remaining()) + " before the end");
}

TUint8 ImageParser::u8(const char* what) {
    need(1, what);
    return data_[pos_++];
}

TInt32 ImageParser::i32(const char* what) {
    need(4, what);
    TUint32 v = TUint32(data_[pos_]) | TUint32(data_[pos_ + 1]) << 8 |
                TUint32(data_[pos_ + 2]) << 16 | TUint32(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return TInt32(v);
}

// 1 and 2 bytes are unsigned, 4 bytes a signed int32.
TInt32 ImageParser::coded(TUint8 width, const char* what) {
    if (width == 4) return i32(what);
    need(width, what);
    TInt32 v = data_[pos_];
    if (width == 2) v |= TInt32(data_[pos_ + 1]) << 8;
    pos_ += width;
    return v;
}

TUint8 ImageParser::recordWidth(const char* what) {
    size_t at = pos_;
    TUint8 v = u8(what);
    if (v != 1 && v != 2 && v != 4)
        fail(at, std::string(what) + " of 1, 2 or 4, found " + std::to_string(v));
    return v;
}

TUint8 ImageParser::arrayFlag(const char* what) {
    size_t at = pos_;
    TUint8 v = u8(what);
    if (v != kArrayFlagPlain && v != kArrayFlagReferences)
        fail(at, std::string(what) + " of 0 or 255, found " + std::to_string(v));
    return v;
}

// A count must be non-negative and its items must fit in the bytes left; their
// `hostItemBytes` each are charged before the caller makes them.
TInt32 ImageParser::count(TInt32 value, size_t at, const char* what, size_t minItemBytes,
                          size_t hostItemBytes) {
    if (value < 0) fail(at, std::string(what) + " of 0 or more, found " + std::to_string(value));
    if (size_t(value) > remaining() / minItemBytes)
        fail(at, std::string(what) + " whose items fit in the " + std::to_string(remaining()) +
                     " bytes left (" + std::to_string(minItemBytes) + " or more each), found " +
                     std::to_string(value));
    if (value > 0) charge(TUint64(value) * hostItemBytes);
    return value;
}

TInt32 ImageParser::count(const char* what, size_t minItemBytes, size_t hostItemBytes) {
    size_t at = pos_;
    TInt32 v = i32(what);
    return count(v, at, what, minItemBytes, hostItemBytes);
}

TInt32 ImageParser::codedCount(TUint8 width, const char* what, size_t minItemBytes, size_t hostItemBytes) {
    size_t at = pos_;
    TInt32 v = coded(width, what);
    return count(v, at, what, minItemBytes, hostItemBytes);
}

std::string ImageParser::bytes(const char* what) {
    TInt32 n = count(what, 1, 1);
    std::string s(reinterpret_cast<const char*>(data_ + pos_), size_t(n));
    pos_ += size_t(n);
    return s;
}

void ImageParser::identifier(std::array<TUint8, kImageIdentifierLength>& out) {
    enter("header");
    size_t at = pos_;
    TUint8 length = u8("identifier length");
    if (length != kIdentifierLengthByte)
        fail(at, "identifier length 20, found " + std::to_string(length));
    need(kImageIdentifierLength, "identifier");
    std::copy(data_ + pos_, data_ + pos_ + kImageIdentifierLength, out.begin());
    pos_ += kImageIdentifierLength;
}

void ImageParser::header(ImageFile& out) {
    identifier(out.identifier);
    for (int i = 0; i < 2; ++i) {
        size_t at = pos_;
        TUint8 b = u8("marker");
        if (b != kMarkerByte) fail(at, "marker byte 255, found " + std::to_string(b));
    }
    for (TInt32 i = 0; i < kImageWidthCount; ++i) widths_[i] = recordWidth(kWidthNames[i]);
    out.widths = widths_;
}

void ImageParser::globalMethods(ImageFile& out) {
    enter("global methods");
    TInt32 n = count("global method count", 4 + w(kWidthCodeAddress) + w(kWidthDescriptor),
                     sizeof(ImageGlobalMethod));
    out.globalMethods.resize(size_t(n));
    for (TInt32 i = 0; i < n; ++i) {
        enter("global methods", itemName("method", size_t(i)));
        ImageGlobalMethod& m = out.globalMethods[size_t(i)];
        m.name = bytes("name length");
        m.codeAddress = coded(w(kWidthCodeAddress), "code address");
        m.descriptor = coded(w(kWidthDescriptor), "method descriptor index");
    }
}

void ImageParser::selectors(ImageFile& out) {
    enter("selectors");
    TInt32 n = count("selector count", 4 + w(kWidthImplementationCount), sizeof(ImageSelector));
    out.selectors.resize(size_t(n));
    const size_t implBytes = w(kWidthClassIndex) + w(kWidthCodeAddress) + w(kWidthDescriptor);
    for (TInt32 i = 0; i < n; ++i) {
        enter("selectors", itemName("selector", size_t(i)));
        ImageSelector& s = out.selectors[size_t(i)];
        s.name = bytes("name length");
        TInt32 k = codedCount(w(kWidthImplementationCount), "implementation count", implBytes,
                              sizeof(ImageImplementation));
        s.implementations.resize(size_t(k));
        for (auto& impl : s.implementations) {
            impl.classIndex = coded(w(kWidthClassIndex), "class index");
            impl.codeAddress = coded(w(kWidthCodeAddress), "code address");
            impl.descriptor = coded(w(kWidthDescriptor), "method descriptor index");
        }
    }
    selectorCount_ = size_t(n);
}

void ImageParser::globals(ImageFile& out) {
    enter("globals");
    size_t at = pos_;
    out.globalCount = i32("globals count");
    if (out.globalCount > kMaxGlobalWords)
        fail(at, "a globals count of at most " + std::to_string(kMaxGlobalWords) + ", found " +
                     std::to_string(out.globalCount));
}

std::vector<TInt32> ImageParser::indexList(TUint8 width, const char* what) {
    TInt32 n = count(what, width, sizeof(TInt32));
    auto v = std::vector<TInt32>(size_t(n));
    for (auto& x : v) x = coded(width, "word index");
    return v;
}

std::vector<ImageArraySlot> ImageParser::arraySlotList(TUint8 width, const char* what) {
    TInt32 n = count(what, 1 + size_t(width), sizeof(ImageArraySlot));
    auto v = std::vector<ImageArraySlot>(size_t(n));
    for (auto& slot : v) {
        slot.flag = arrayFlag("array flag");
        slot.index = coded(width, "word index");
    }
    return v;
}

ImageClass ImageParser::oneClass() {
    ImageClass c;
    c.fieldWidth = recordWidth("field width");
    c.referenceFields = indexList(c.fieldWidth, "reference field count");
    c.arrayFields = arraySlotList(c.fieldWidth, "array field count");
    c.superclassPresent = coded(w(kWidthSuperclassPresent), "superclass present");
    if (c.superclassPresent != 0) c.superclass = coded(w(kWidthClassIndex), "superclass index");
    TInt32 n = codedCount(w(kWidthTrailingCount), "trailing list count", w(kWidthClassIndex), sizeof(TInt32));
    c.trailing.resize(size_t(n));
    for (auto& x : c.trailing) x = coded(w(kWidthClassIndex), "trailing class index");
    return c;
}

void ImageParser::classes(ImageFile& out) {
    enter("classes");
    const size_t minBytes = 1 + 4 + 4 + w(kWidthSuperclassPresent) + w(kWidthTrailingCount);
    TInt32 n = count("class count", minBytes, sizeof(ImageClass));
    out.classes.reserve(size_t(n));
    for (TInt32 i = 0; i < n; ++i) {
        enter("classes", itemName("class", size_t(i)));
        out.classes.push_back(oneClass());
    }
}

ImageDescriptor ImageParser::oneDescriptor() {
    ImageDescriptor d;
    d.slotWidth = recordWidth("slot width");
    d.firstLength = coded(w(kWidthFirstLength), "first length");
    d.possibleReferenceSlots = indexList(d.slotWidth, "possible-reference slot count");
    d.arraySlots = arraySlotList(d.slotWidth, "array slot count");
    d.secondLength = coded(w(kWidthSecondLength), "second length");
    d.thirdLength = coded(w(kWidthThirdLength), "third length");
    d.referenceSlots = indexList(d.slotWidth, "reference slot count");
    d.twoWordArraySlots = arraySlotList(d.slotWidth, "two-word array slot count");
    return d;
}

void ImageParser::descriptors(ImageFile& out) {
    enter("method descriptors");
    const size_t minBytes = 1 + w(kWidthFirstLength) + 4 + 4 + w(kWidthSecondLength) +
                            w(kWidthThirdLength) + 4 + 4;
    TInt32 n = count("method descriptor count", minBytes, sizeof(ImageDescriptor));
    out.descriptors.reserve(size_t(n));
    for (TInt32 i = 0; i < n; ++i) {
        enter("method descriptors", itemName("descriptor", size_t(i)));
        out.descriptors.push_back(oneDescriptor());
    }
}

void ImageParser::strings(ImageFile& out) {
    enter("string constants");
    TInt32 n = count("string constant count", 4, sizeof(std::string));
    out.strings.resize(size_t(n));
    for (TInt32 i = 0; i < n; ++i) {
        enter("string constants", itemName("string", size_t(i)));
        out.strings[size_t(i)] = bytes("text length");
    }
}

// Walks the code so that a cut-off instruction or a selector the image does not
// declare is reported here, before anything is linked.
void ImageParser::code(ImageFile& out) {
    enter("code");
    out.codeOffset = TUint32(pos_);
    charge(remaining());
    out.code.assign(data_ + pos_, data_ + size_);
    const size_t start = pos_;
    auto at = [&](size_t i, const InstructionInfo& row) {
        item_ = "'" + std::string(row.mnemonic) + "' at code offset " + std::to_string(i - start);
    };
    while (pos_ < size_) {
        const size_t i = pos_++;
        const InstructionInfo* row = findInstruction(TInt8(data_[i]));
        if (!row) continue;
        const size_t length = size_t(operandLength(*row));
        if (remaining() < length) {
            at(i, *row);
            need(length, "its operands");
        }
        for (TInt32 k = 0; k < row->operandCount; ++k) {
            if (row->operands[k].kind != OperandKind::Selector) continue;
            TInt32 sel = readOperand(*row, data_ + i, k);
            if (sel >= 0 && size_t(sel) < selectorCount_) continue;
            at(i, *row);
            fail(i + size_t(operandOffset(*row, k)),
                 "a selector index below " + std::to_string(selectorCount_) + ", found " +
                     std::to_string(sel));
        }
        pos_ = i + 1 + length;
    }
}

void ImageParser::parse(ImageFile& out) {
    if (size_ > size_t(INT32_MAX)) fail(0, "an image smaller than 2 GiB");
    header(out);
    globalMethods(out);
    selectors(out);
    globals(out);
    classes(out);
    descriptors(out);
    strings(out);
    code(out);
}

}  // namespace

std::string ImageError::describe() const {
    return "offset " + std::to_string(offset) + " (" + section + "): expected " + expected;
}

bool parseImage(const TUint8* data, size_t size, ImageFile& out, ImageError& error, BudgetCharge* charge) {
    if (!data) size = 0;
    out = ImageFile{};
    try {
        ImageParser(data, size, error, charge).parse(out);
        return true;
    } catch (const ParseFailure&) {
        return false;
    }
}

bool parseImageIdentifier(const TUint8* data, size_t size,
                          std::array<TUint8, kImageIdentifierLength>& identifier,
                          ImageError& error) {
    if (!data) size = 0;
    try {
        ImageParser(data, size, error).identifier(identifier);
        return true;
    } catch (const ParseFailure&) {
        return false;
    }
}

}  // namespace mcb
