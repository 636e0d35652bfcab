// The instruction table, the image parser (round trips in every width, format
// errors with where and what, text decoding) and the image loader: the tables
// each section fills, relocation, loading twice, failed loads, and truncated or
// mutated images that must never crash.
#include "ImageBuilder.h"

#include "foundation/VMError.h"
#include "io/MemoryInputStream.h"
#include "vm/ImageLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

namespace mcb {

using namespace testimg;
using Ints = std::vector<int>;

namespace {
ImageError error;  // of the last parse
ImageFile parse(const std::vector<TUint8>& bytes, bool ok = true) {
    ImageFile out;
    EXPECT_EQ(parseImage(bytes.data(), bytes.size(), out, error), ok) << error.describe();
    return out;
}
ImageError parseFailure(const std::vector<TUint8>& bytes) {
    parse(bytes, false);
    return error;
}
constexpr size_t kHeaderEnd = 32;  // 1 + 20 + 2 + 9 bytes; the global method count follows
std::vector<TUint8> headerThen(std::initializer_list<TInt32> tail) {
    Bytes b;
    b.raw(encode(emptyImage())).out.resize(kHeaderEnd);
    for (TInt32 v : tail) b.i32(v);
    return b.out;
}
template <typename V> Ints ints(const V& v) { return {v.begin(), v.end()}; }
template <typename V> std::vector<Ints> lists(const V& v) {
    std::vector<Ints> out;
    for (const auto& e : v) out.push_back(ints(e));
    return out;
}
struct World {
    explicit World(TUint64 bytes = TUint64(64) << 20) : memory(bytes) {}
    VMMemory memory;
    VMHeap heap{memory};
    ProgramTables tables;
    ImageLoader loader{tables, heap};
    TInt32 index = -1;
    bool load(const std::vector<TUint8>& bytes, const std::string& name = "index.mcb") {
        return loader.load(CAppsString(name.c_str()), bytes.data(), bytes.size(), index);
    }
    TInt32 loadOk(const ImageFile& image, const char* name = "index.mcb") {
        EXPECT_TRUE(load(encode(image), name)) << loader.lastError().describe();
        return index;
    }
    TInt32 codeWord(size_t at) const {
        TUint32 w = 0;
        for (int i = 3; i >= 0; --i) w = w << 8 | tables.code[TInt32(at) + i];
        return TInt32(w);
    }
    Ints tableSizes() const {
        return {tables.images.getSize(),      tables.exportedMethods.getSize(), tables.referenceFields.getSize(),
                tables.superclasses.getSize(), tables.descriptors.getSize(),     tables.strings.getSize(),
                tables.code.getSize(),         tables.largestClassIndex,         TInt32(tables.globals)};
    }
    // Tables after successful loads always agree with their images.
    void expectConsistent() const {
        const ProgramTables& t = tables;
        TInt32 code = 0;
        for (const auto& image : t.images) code = image.codeBase == code ? code + image.codeLength : -1;
        EXPECT_EQ(t.code.getSize(), code);
        EXPECT_EQ((Ints{t.referenceFields.getSize(), t.arrayFields.getSize(), t.arrayFlags.getSize()}),
                  Ints(3, t.superclasses.getSize()));
        for (TInt32 i = 0; i < t.arrayFields.getSize(); ++i)
            EXPECT_EQ(t.arrayFields[i].getSize(), t.arrayFlags[i].getSize());
        for (const auto& d : t.descriptors)
            EXPECT_EQ(Ints({d.arraySlots.getSize(), d.twoWordArraySlots.getSize()}),
                      Ints({d.arraySlotFlags.getSize(), d.twoWordArraySlotFlags.getSize()}));
    }
};
const Ints kEmpty(9, 0);
}  // namespace

TEST(Instructions, LengthsAndOperands) {
    EXPECT_EQ(findInstruction(TInt8(56)), nullptr);  // the trap opcode is not an instruction
    EXPECT_EQ(findInstruction("no-such-op"), nullptr);
    for (auto [op, length] : {std::pair{0, 1}, {1, 2}, {14, 9}, {17, 6}, {-109, 7}, {-123, 3}, {56, 1}})
        EXPECT_EQ(instructionLength(TInt8(op)), length) << "opcode " << op;
    auto row = [](Op op) -> const InstructionInfo& { return *findInstruction(op); };
    auto operand = [&](Op op, std::vector<TUint8> bytes, int i) { return readOperand(row(op), bytes.data(), i); };
    EXPECT_EQ(operand(Op::Native, {78, 8, 0x87}, 1), 135);  // narrow operands extend by signedness
    EXPECT_EQ(operand(Op::Jump, {12, 0xFE, 0xFF}, 0), -2);
    EXPECT_EQ(TUint32(operand(Op::Alloc, {17, 2, 0xFF, 0xFF, 0xFF, 0xFF}, 1)), 0xFFFFFFFFu);
    EXPECT_EQ(operand(Op::LoadLocal, {1, 0xFF}, 0), -1);
    EXPECT_EQ(operand(Op::Push64, {65, 1, 0, 0, 0, 2, 0, 0, 0}, 1), 2);
    EXPECT_EQ(jumpTarget(10, row(Op::Jump), -2), 10);  // counted from the last operand byte
    EXPECT_EQ(jumpTarget(10, row(Op::JumpW), 1), 15);
    EXPECT_EQ(handlerAddress(0, row(Op::PushHandler), 4), 12);
    EXPECT_EQ(handlerResume(0, row(Op::PushHandler), 4), 13);
}

TEST(ImageParser, RoundTripsInEveryWidthOdditiesAndText) {
    for (TUint8 width : {1, 2, 4}) {
        ImageFile expected = sampleImage(width);
        std::vector<TUint8> bytes = encode(expected);
        expected.codeOffset = TUint32(bytes.size() - expected.code.size());
        EXPECT_EQ(parse(bytes), expected) << int(width);
    }
    ImageFile image = sampleImage();
    image.widths = {1, 2, 4, 1, 2, 4, 1, 2, 4};
    image.classes[2].trailing = {0, 1, 2};
    ImageFile out = parse(encode(image));
    out.codeOffset = 0;
    EXPECT_EQ(out, image);
    image = emptyImage();
    image.widths = {1, 2, 4, 4, 4, 4, 4, 4, 4};  // narrow ones unsigned, except class indices
    image.globalMethods = {{"a", 200, 65535}};
    image.selectors = {{"b", {{-1, 255, 40000}}}};
    image.globalCount = -5;                      // no globals
    image.code = {56, 66, 127, 0x80 + 10, 0};  // not instructions: opcode byte only
    out = parse(encode(image));
    EXPECT_EQ(out.globalMethods[0].codeAddress, 200);
    EXPECT_EQ(out.globalMethods[0].descriptor, 65535);
    EXPECT_EQ(out.selectors[0].implementations[0].classIndex, -1);
    EXPECT_EQ(parse(encode(emptyImage())).codeOffset, encode(emptyImage()).size());  // no code
    // Names are byte-wise, other text lenient UTF-8.
    EXPECT_EQ(ints(decodeImageName(std::string("a\xE9\0z", 4))), (Ints{'a', 0xE9, 0, 'z'}));
    const std::pair<const char*, Ints> cases[] = {
        {"A\xC3\xA9\xE2\x82\xAC", {'A', 0xE9, 0x20AC}}, {"\xDF\xFF", {0x7FF}},
        {"\xF0\x9F\x98\x80", {0xF600}},  // four bytes: continuation bits cut to 16
        {"\x80\x41", {0x01}},            // lead bytes decide, continuations unchecked
        {"ab\xC3", {'a', 'b', 0xFFFD}},  // cut off: a replacement ends the string
        {"\xE2\x82", {0xFFFD}}, {"\xF0\x9F\x98", {0xFFFD}},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(ints(decodeImageText(in)), out) << in;
    out = emptyImage();
    out.strings = {"x\xE2", "next"};  // a cut-off sequence never reaches the next string
    out = parse(encode(out));
    EXPECT_EQ(ints(decodeImageText(out.strings[0])), (Ints{'x', 0xFFFD}));
    EXPECT_EQ(decodeImageText(out.strings[1]).toUtf8(), "next");
}

TEST(ImageParser, FormatViolationsSayWhereAndWhat) {
    auto bytesWith = [](size_t at, TUint8 value) {
        std::vector<TUint8> b = encode(emptyImage());
        b[at] = value;
        return b;
    };
    auto sampleWith = [](auto edit) {
        ImageFile f = sampleImage();
        edit(f);
        return encode(f);
    };
    auto withCode = [&](const Code& c) { return sampleWith([&](ImageFile& f) { f.code = c.bytes; }); };
    std::vector<TUint8> shortRead = encode(sampleImage());
    shortRead.resize(kHeaderEnd + 2);
    const struct {
        std::vector<TUint8> bytes;
        TUint32 offset;  // ~0u: not checked
        const char *section, *expected;
    } cases[] = {
        {bytesWith(0, 19), 0, "header", "identifier length 20, found 19"},
        {bytesWith(21, 0xFE), 21, "header", "marker byte 255, found 254"},
        {bytesWith(23, 0), 23, "header", "W1 (code address) of 1, 2 or 4, found 0"},
        {bytesWith(31, 3), 31, "header", "W9 (implementation count) of 1, 2 or 4, found 3"},
        {shortRead, kHeaderEnd, "global methods", "4 byte(s) for global method count, found 2 before the end"},
        {sampleWith([](ImageFile& f) { f.classes[1].arrayFields[0].flag = 1; }), ~0u, "classes, class 1",
         "array flag of 0 or 255, found 1"},
        {sampleWith([](ImageFile& f) { f.descriptors[0].twoWordArraySlots[0].flag = 128; }), ~0u,
         "method descriptors, descriptor 0", "array flag of 0 or 255, found 128"},
        {sampleWith([](ImageFile& f) { f.classes[2].fieldWidth = 3; }), ~0u, "classes, class 2",
         "field width of 1, 2 or 4, found 3"},
        {sampleWith([](ImageFile& f) { f.descriptors[1].slotWidth = 0; }), ~0u, "method descriptors, descriptor 1",
         "slot width of 1, 2 or 4, found 0"},
        {headerThen({0, -1}), ~0u, nullptr, "selector count of 0 or more, found -1"},
        {headerThen({1, 1000, 0, 0}), ~0u, "global methods, method 0", nullptr},
        {sampleWith([](ImageFile& f) { f.globalCount = kMaxGlobalWords + 1; }), ~0u, "globals", nullptr},
        {withCode(Code().op(Op::Nop).byte(14).byte(1).byte(0).byte(0)), ~0u, "code, 'call' at code offset 1",
         "8 byte(s) for its operands, found 3 before the end"},
        {withCode(Code().op(Op::CallVirtual, {2})), ~0u, nullptr, "a selector index below 2, found 2"},
        {withCode(Code().op(Op::CallVirtual, {-1})), ~0u, nullptr, nullptr},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& c = cases[i];
        ImageError e = parseFailure(c.bytes);
        if (c.offset != ~0u) { EXPECT_EQ(e.offset, c.offset); }
        if (c.section) { EXPECT_EQ(e.section, c.section); }
        if (c.expected) { EXPECT_EQ(e.expected, c.expected); }
    }
    EXPECT_EQ(parseFailure(bytesWith(0, 19)).describe(), "offset 0 (header): expected identifier length 20, found 19");
    ImageError huge = parseFailure(headerThen({0x7FFFFFFF}));  // fails at once, reads nothing
    EXPECT_EQ(huge.offset, kHeaderEnd);
    EXPECT_NE(huge.expected.find("fit in the"), std::string::npos) << huge.expected;
    ImageFile out;
    EXPECT_FALSE(parseImage(nullptr, 100, out, error));
    EXPECT_EQ(error.offset, 0u);
}

TEST(Loader, EverySectionFillsItsTableWithinTheLimits) {
    World w;
    const ProgramTables& t = w.tables;
    ImageFile image = sampleImage();
    EXPECT_EQ(w.loadOk(image, "app/index.mcb"), 0);
    ASSERT_EQ(t.images.getSize(), 1);
    EXPECT_EQ(t.images[0].name.toUtf8(), "app/index.mcb");
    const TInt32 length = TInt32(image.code.size());
    EXPECT_EQ((Ints{t.images[0].codeBase, t.images[0].codeLength, t.code.getSize()}), (Ints{0, length, length}));
    // Selectors get one entry per class, classes one-based; "main" joins the global method.
    std::vector<Ints> methods;
    std::vector<std::string> names;
    for (const ExportedMethod& m : t.exportedMethods) {
        names.push_back(m.name.toUtf8());
        methods.push_back({m.isVirtual, m.imageIndex, m.methodHandle});
        for (const auto& e : m.entries) methods.push_back({e.classIndex, e.codeAddress, e.descriptorIndex});
    }
    EXPECT_EQ(names, (std::vector<std::string>{"main", "::global::init", "<application>.draw to<canvas>"}));
    EXPECT_EQ(methods, (std::vector<Ints>{{0, 0, -1}, {-1, 0, 0}, {2, 30, 0},  // main
                                          {0, 0, -1}, {-1, 5, 1},              // init
                                          {1, 0, -1}, {1, 10, 1}, {3, 20, 1}}));
    EXPECT_EQ(ints(t.superclasses), (Ints{-2, -1, 1, 2}));  // index 0 names no class
    EXPECT_EQ(lists(t.referenceFields), (std::vector<Ints>{{}, {1, 2}, {300}, {70000}}));
    EXPECT_EQ(lists(t.arrayFields), (std::vector<Ints>{{}, {3}, {4}, {}}));
    EXPECT_EQ(lists(t.arrayFlags), (std::vector<Ints>{{}, {255}, {0}, {}}));
    EXPECT_EQ(t.largestClassIndex, 3);
    ASSERT_EQ(t.descriptors.getSize(), 2);
    const MethodGCInfo& d = t.descriptors[0];
    EXPECT_EQ((std::vector<Ints>{{d.firstLength, d.secondLength, d.thirdLength}, ints(d.possibleReferenceSlots),
                                 ints(d.arraySlots), ints(d.arraySlotFlags), ints(d.referenceSlots),
                                 ints(d.twoWordArraySlots), ints(d.twoWordArraySlotFlags)}),
              (std::vector<Ints>{{2, 3, 4}, {1}, {2}, {255}, {5, 6}, {7}, {0}}));
    EXPECT_EQ(ints(t.descriptors[1].referenceSlots), (Ints{400}));
    EXPECT_EQ(lists(t.strings), (std::vector<Ints>{{'h', 'e', 'l', 'l', 'o'}, {0xE9, 't', 0xE9}, {0x20AC}, {}}));
    ASSERT_NE(t.globals, 0u);  // a zeroed, rooted block
    EXPECT_TRUE(w.heap.isRoot(t.globals));
    EXPECT_EQ(w.heap.headerOf(t.globals)->gcCode, GC_CODE_PLAIN);
    EXPECT_GE(w.heap.headerOf(t.globals)->size, 8u);
    EXPECT_EQ(w.memory.readWord(t.globals) | w.memory.readWord(t.globals + 4), 0u);

    World bare;
    image.globalCount = 0;
    bare.loadOk(image);
    EXPECT_EQ(bare.tables.globals, 0u);  // no globals, no block
    EXPECT_EQ(bare.heap.numberOfEntries(), 0);
    World huge;
    ImageFile first = sampleImage();
    first.code = Code().op(Op::SetClass, {0x7FFFFFF0}).bytes;
    huge.loadOk(first);
    EXPECT_EQ(huge.tables.largestClassIndex, 0x7FFFFFF1);
    EXPECT_FALSE(huge.load(encode(sampleImage(4, "second-image--------"))));
    EXPECT_EQ(huge.loader.lastError().section, "classes");
    World small(TUint64(1) << 20);
    image.globalCount = 1 << 20;  // 4 MB of globals in a 1 MB region
    EXPECT_FALSE(small.load(encode(image)));
    EXPECT_EQ(small.loader.lastError().section, "globals");
    EXPECT_EQ(small.tableSizes(), kEmpty);
    EXPECT_EQ(vmerr::pendingErrorCode(), 0);
}

TEST(Loader, RelocationLoadingTwiceAndFailuresAfterALoad) {
    World w;
    const Code s = sampleCode();
    const std::vector<size_t>& o = s.offsets;
    EXPECT_EQ(w.loadOk(sampleImage()), 0);
    const Ints first = w.tableSizes();
    EXPECT_EQ(w.loadOk(sampleImage()), 0);  // the same identifier and name: recognised
    std::vector<TUint8> head = encode(sampleImage());
    head.resize(21);  // identifier only: recognised before the rest is read
    EXPECT_TRUE(w.load(head));
    EXPECT_EQ(w.index, 0);
    EXPECT_EQ(w.tableSizes(), first);
    ImageFile broken = sampleImage(4, "broken-image--------");
    broken.code.pop_back();  // cuts the final return
    const TInt32 entries = w.heap.numberOfEntries();
    EXPECT_FALSE(w.load(encode(broken)));
    EXPECT_EQ(w.tableSizes(), first);
    EXPECT_EQ(w.heap.numberOfEntries(), entries);
    head = encode(broken);
    head.resize(21);
    EXPECT_FALSE(w.load(head));  // nothing of it was recorded, so it is not taken as loaded

    const TInt32 base = w.tables.code.getSize();
    EXPECT_EQ(w.loadOk(sampleImage(), "b.mcb"), 1);  // another name: a new image
    EXPECT_EQ(w.tables.images[1].codeBase, base);
    // Operand: value in the first image, in the second (class base 4, string base 4, descriptor base 2).
    const struct {
        size_t at;
        TInt32 first, second;
    } cases[] = {
        {o[1] + 1, 7, 7 + base}, {o[1] + 5, 1, 1 + 2}, {o[2] + 1, 7, 7 + base}, {o[2] + 5, -1, -1},
        {o[3] + 1, 2, 2}, {o[4] + 1, 0, 0},  // "draw to" is exported method 2, "main" joined method 0
        {o[5] + 1, 3, 3 + 4}, {o[6] + 1, 3, 2 + 4}, {o[7] + 1, 2, 1 + 4},
        {o[7] + 5, 5, 5}, {o[8] + 1, -1, -1},  // handler offsets are relative; catch-all stays catch-all
    };
    for (const auto& c : cases) {
        EXPECT_EQ(w.codeWord(c.at), c.first) << c.at;
        EXPECT_EQ(w.codeWord(size_t(base) + c.at), c.second) << c.at;
    }
    for (size_t i = 0; i < s.bytes.size(); ++i) {
        bool relocated = false;
        for (const auto& c : cases) relocated |= i >= c.at && i < c.at + 4;
        if (!relocated) { EXPECT_EQ(w.tables.code[TInt32(i)], s.bytes[i]) << "code byte " << i; }
    }
    EXPECT_EQ(w.tables.superclasses[5], 4);
    EXPECT_EQ(w.tables.largestClassIndex, 6);
    EXPECT_EQ(w.tables.exportedMethods.getSize(), 5);  // two new global methods, no new selectors
    EXPECT_EQ(w.tables.exportedMethods[3].entries[0].codeAddress, base);
    EXPECT_EQ(w.tables.exportedMethods[2].entries[2].classIndex, 4);
    VELMAR::MemoryInputStream stream(encode(sampleImage(4, "streamed-image------")));
    EXPECT_TRUE(w.loader.load(CAppsString("c.mcb"), stream, w.index)) << w.loader.lastError().describe();
    EXPECT_EQ(w.index, 2);
}

TEST(LoaderRobustness, EveryCutFailsUnlessOnAnInstructionBoundaryOfTheCode) {
    for (TUint8 width : {1, 2, 4}) {
        const std::vector<TUint8> bytes = encode(sampleImage(width));
        std::vector<size_t> boundaries = sampleCode().offsets;
        boundaries.push_back(sampleCode().bytes.size());
        const size_t codeStart = bytes.size() - boundaries.back();
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            World w;
            const bool expected =
                cut >= codeStart && std::count(boundaries.begin(), boundaries.end(), cut - codeStart) > 0;
            EXPECT_EQ(w.load({bytes.begin(), bytes.begin() + long(cut)}), expected) << "cut at " << cut;
            EXPECT_EQ(w.tableSizes() == kEmpty, !expected) << "cut at " << cut;
            EXPECT_EQ(w.tables.code.getSize(), expected ? TInt32(cut - codeStart) : 0) << "cut at " << cut;
            if (!expected) { EXPECT_LE(w.loader.lastError().offset, cut) << "cut at " << cut; }
            EXPECT_EQ(vmerr::pendingErrorCode(), 0);
        }
    }
}

// Any image the parser accepts is written back byte for byte by the encoder.
TEST(LoaderRobustness, MutatedImagesRoundTripWhenAcceptedAndLoadConsistently) {
    std::mt19937 engine(0x5EED1234);
    auto below = [&](size_t n) { return n == 0 ? 0 : engine() % n; };
    const std::vector<TUint8> seeds[] = {encode(sampleImage(1)), encode(sampleImage(2)), encode(sampleImage(4)),
                                         encode(emptyImage())};
    std::unique_ptr<World> w;
    int accepted = 0;
    for (int i = 0; i < 6000; ++i) {
        if (i % 100 == 0) w = std::make_unique<World>();
        std::vector<TUint8> b = seeds[below(4)];
        for (int e = int(below(4)); e >= 0 && !b.empty(); --e) {
            const size_t at = below(b.size());
            switch (below(6)) {
            case 0: b[at] ^= TUint8(1u << below(8)); break;
            case 1: b[at] = std::vector<TUint8>{0, 1, 2, 3, 4, 19, 20, 0x7F, 0x80, 0xFE, 0xFF}[below(11)]; break;
            case 2: b[at] = TUint8(engine()); break;
            case 3: b.resize(at); break;
            case 4: b.insert(b.begin() + long(at), TUint8(engine())); break;
            default: b.erase(b.begin() + long(at), b.begin() + long(at + std::min(b.size() - at, below(8) + 1)));
            }
        }
        ImageFile parsed;
        const bool parses = parseImage(b.data(), b.size(), parsed, error);
        if (parses) { EXPECT_EQ(encode(parsed), b) << "mutation " << i; }
        accepted += parses;
        EXPECT_LE(w->load(b, "image" + std::to_string(i)), parses) << "mutation " << i;
        EXPECT_EQ(vmerr::pendingErrorCode(), 0);
        w->expectConsistent();
    }
    EXPECT_GT(accepted, 100);  // the mutations reach the later sections too
}

}  // namespace mcb
