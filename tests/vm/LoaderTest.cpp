// The image loader: what each section puts in the program tables, relocation
// by the bases of earlier images, loading an image twice, and failures that
// leave the tables untouched.
#include "SampleImages.h"

#include "foundation/VMError.h"
#include "io/MemoryInputStream.h"
#include "vm/ImageLoader.h"

#include <gtest/gtest.h>

using namespace testimg;

namespace {
std::vector<int> ints(const Vec<int>& v) { return {v.begin(), v.end()}; }
std::vector<int> flags(const Vec<TUint8>& v) { return {v.begin(), v.end()}; }
}  // namespace

class Loader : public ::testing::Test {
protected:
    bool load(const std::vector<TUint8>& bytes, TInt32& index, const char* name = "index.mcb") {
        return loader.load(CAppsString(name), bytes.data(), bytes.size(), index);
    }
    bool fails(const std::vector<TUint8>& bytes) {
        TInt32 index = -1;
        return !load(bytes, index);
    }
    TInt32 loadOk(const ImageFile& image, const char* name = "index.mcb") {
        TInt32 index = -1;
        EXPECT_TRUE(load(encode(image), index, name)) << loader.lastError().describe();
        return index;
    }
    TInt32 codeWord(size_t at) const {
        const auto& c = tables.code;
        const TInt32 i = TInt32(at);
        return TInt32(TUint32(c[i]) | TUint32(c[i + 1]) << 8 | TUint32(c[i + 2]) << 16 | TUint32(c[i + 3]) << 24);
    }
    // Sizes of every table, to see that a failed load added nothing.
    std::vector<TInt32> tableSizes() const {
        return {tables.images.getSize(),      tables.exportedMethods.getSize(), tables.referenceFields.getSize(),
                tables.superclasses.getSize(), tables.descriptors.getSize(),     tables.strings.getSize(),
                tables.code.getSize(),         tables.largestClassIndex,         TInt32(tables.globals)};
    }

    VMMemory memory{TUint64(64) << 20};
    VMHeap heap{memory};
    ProgramTables tables;
    ImageLoader loader{tables, heap};
};

TEST_F(Loader, EverySectionFillsItsTable) {
    ImageFile image = sampleImage();
    EXPECT_EQ(loadOk(image, "app/index.mcb"), 0);
    ASSERT_EQ(tables.images.getSize(), 1);
    const BytecodeStruct& rec = tables.images[0];
    EXPECT_EQ(rec.identifier, image.identifier);
    EXPECT_TRUE(rec.name == std::string_view("app/index.mcb"));
    EXPECT_EQ(rec.codeBase, 0);
    EXPECT_EQ(rec.codeLength, TInt32(image.code.size()));
    EXPECT_EQ(tables.code.getSize(), TInt32(image.code.size()));

    // Global methods: one entry each; selectors: one per class, classes one-based;
    // the "main" selector joins the global method of that name.
    ASSERT_EQ(tables.exportedMethods.getSize(), 3);
    const ExportedMethod& main = tables.exportedMethods[0];
    EXPECT_EQ(main.isVirtual, 0);
    ASSERT_EQ(main.entries.getSize(), 2);
    EXPECT_EQ(main.entries[1].classIndex, 2);
    EXPECT_EQ(main.entries[1].codeAddress, 30);
    const ExportedMethod& init = tables.exportedMethods[1];
    EXPECT_TRUE(init.name == std::string_view("::global::init"));
    EXPECT_EQ(init.isVirtual, 0);
    EXPECT_EQ(init.methodHandle, -1);
    EXPECT_EQ(init.imageIndex, 0);
    ASSERT_EQ(init.entries.getSize(), 1);
    EXPECT_EQ(init.entries[0].classIndex, -1);
    EXPECT_EQ(init.entries[0].codeAddress, 5);
    EXPECT_EQ(init.entries[0].descriptorIndex, 1);
    const ExportedMethod& draw = tables.exportedMethods[2];
    EXPECT_TRUE(draw.name == std::string_view("<application>.draw to<canvas>"));
    EXPECT_EQ(draw.isVirtual, 1);
    ASSERT_EQ(draw.entries.getSize(), 2);
    EXPECT_EQ(draw.entries[0].classIndex, 1);
    EXPECT_EQ(draw.entries[0].codeAddress, 10);
    EXPECT_EQ(draw.entries[1].classIndex, 3);
    EXPECT_EQ(draw.entries[1].descriptorIndex, 1);

    ASSERT_EQ(tables.superclasses.getSize(), 4);
    EXPECT_EQ(ints(tables.superclasses), (std::vector<int>{-2, -1, 1, 2}));  // index 0 names no class
    EXPECT_TRUE(tables.referenceFields[0].isEmpty());
    EXPECT_EQ(ints(tables.referenceFields[1]), (std::vector<int>{1, 2}));
    EXPECT_EQ(ints(tables.referenceFields[2]), (std::vector<int>{300}));
    EXPECT_EQ(ints(tables.referenceFields[3]), (std::vector<int>{70000}));
    EXPECT_EQ(ints(tables.arrayFields[1]), (std::vector<int>{3}));
    EXPECT_EQ(flags(tables.arrayFlags[1]), (std::vector<int>{255}));
    EXPECT_EQ(flags(tables.arrayFlags[2]), (std::vector<int>{0}));
    EXPECT_EQ(tables.largestClassIndex, 3);

    ASSERT_EQ(tables.descriptors.getSize(), 2);
    const MethodGCInfo& d = tables.descriptors[0];
    EXPECT_EQ(d.firstLength, 2);
    EXPECT_EQ(d.secondLength, 3);
    EXPECT_EQ(d.thirdLength, 4);
    EXPECT_EQ(ints(d.possibleReferenceSlots), (std::vector<int>{1}));
    EXPECT_EQ(ints(d.arraySlots), (std::vector<int>{2}));
    EXPECT_EQ(flags(d.arraySlotFlags), (std::vector<int>{255}));
    EXPECT_EQ(ints(d.referenceSlots), (std::vector<int>{5, 6}));
    EXPECT_EQ(ints(d.twoWordArraySlots), (std::vector<int>{7}));
    EXPECT_EQ(flags(d.twoWordArraySlotFlags), (std::vector<int>{0}));
    EXPECT_EQ(ints(tables.descriptors[1].referenceSlots), (std::vector<int>{400}));

    ASSERT_EQ(tables.strings.getSize(), 4);
    EXPECT_TRUE(tables.strings[0] == std::string_view("hello"));
    EXPECT_EQ(std::vector<TUint16>(tables.strings[1].begin(), tables.strings[1].end()),
              (std::vector<TUint16>{0xE9, 't', 0xE9}));
    EXPECT_EQ(tables.strings[2][0], 0x20AC);
    EXPECT_TRUE(tables.strings[3].isEmpty());

    ASSERT_NE(tables.globals, 0u);  // a zeroed, rooted block
    EXPECT_TRUE(heap.isRoot(tables.globals));
    HeapEntry* he = heap.headerOf(tables.globals);
    EXPECT_EQ(he->gcCode, GC_CODE_PLAIN);
    EXPECT_GE(he->size, 8u);
    EXPECT_EQ(memory.readWord(tables.globals), 0u);
    EXPECT_EQ(memory.readWord(tables.globals + 4), 0u);
}

TEST_F(Loader, NoGlobalsAndNoCodeLoad) {
    ImageFile image = sampleImage();
    image.globalCount = 0;
    image.code.clear();
    loadOk(image);
    EXPECT_EQ(tables.globals, 0u);
    EXPECT_EQ(heap.numberOfEntries(), 0);
    EXPECT_EQ(tables.images[0].codeLength, 0);
    EXPECT_EQ(tables.code.getSize(), 0);
}

TEST_F(Loader, OperandsAreRelocatedByTheBasesOfEarlierImages) {
    SampleCode s = sampleCode();
    loadOk(sampleImage());
    // The first image: classes become one-based, selectors exported-method indices.
    EXPECT_EQ(codeWord(s.call + 1), 7);
    EXPECT_EQ(codeWord(s.call + 5), 1);
    EXPECT_EQ(codeWord(s.callNoDescriptor + 5), -1);
    EXPECT_EQ(codeWord(s.loadString + 1), 3);
    EXPECT_EQ(codeWord(s.setClass + 1), 3);
    EXPECT_EQ(codeWord(s.tryClass + 1), 2);
    EXPECT_EQ(codeWord(s.tryClass + 5), 5);  // handler offsets are relative
    EXPECT_EQ(codeWord(s.tryAny + 1), -1);   // catch-all stays catch-all
    EXPECT_EQ(codeWord(s.callVirtual0 + 1), 2);  // "draw to" is exported method 2
    EXPECT_EQ(codeWord(s.callVirtual1 + 1), 0);  // "main" joined exported method 0
    const std::vector<size_t> relocated = {s.call + 1, s.call + 5, s.callNoDescriptor + 1, s.callVirtual0 + 1,
                                           s.callVirtual1 + 1, s.loadString + 1, s.setClass + 1, s.tryClass + 1,
                                           s.tryAny + 1};
    for (size_t i = 0; i < s.code.bytes.size(); ++i) {
        bool inRelocated = false;
        for (size_t r : relocated) inRelocated |= (i >= r && i < r + 4);
        if (!inRelocated) { EXPECT_EQ(tables.code[TInt32(i)], s.code.bytes[i]) << "code byte " << i; }
    }

    const size_t at = size_t(tables.code.getSize());
    const TInt32 codeBase = TInt32(at);
    EXPECT_EQ(loadOk(sampleImage(4, "second-image--------")), 1);
    EXPECT_EQ(tables.images[1].codeBase, codeBase);
    EXPECT_EQ(codeWord(at + s.call + 1), 7 + codeBase);
    EXPECT_EQ(codeWord(at + s.call + 5), 1 + 2);
    EXPECT_EQ(codeWord(at + s.callNoDescriptor + 5), -1);
    EXPECT_EQ(codeWord(at + s.loadString + 1), 3 + 4);
    EXPECT_EQ(codeWord(at + s.setClass + 1), 2 + 4);  // class base = largest (3) + 1
    EXPECT_EQ(codeWord(at + s.tryClass + 1), 1 + 4);
    EXPECT_EQ(codeWord(at + s.tryClass + 5), 5);
    EXPECT_EQ(codeWord(at + s.tryAny + 1), -1);
    EXPECT_EQ(codeWord(at + s.callVirtual0 + 1), 2);  // same name: same exported method
    EXPECT_EQ(tables.superclasses[5], 4);
    EXPECT_EQ(tables.largestClassIndex, 6);
    EXPECT_EQ(tables.exportedMethods.getSize(), 5);  // two new global methods, no new selectors
    EXPECT_EQ(tables.exportedMethods[3].entries[0].codeAddress, codeBase);
    EXPECT_EQ(tables.exportedMethods[2].entries[2].classIndex, 4);
}

TEST_F(Loader, TheSameImageTwiceIsRecognisedByIdentifierAndName) {
    EXPECT_EQ(loadOk(sampleImage()), 0);
    std::vector<TInt32> before = tableSizes();
    EXPECT_EQ(loadOk(sampleImage()), 0);
    EXPECT_EQ(tableSizes(), before);
    std::vector<TUint8> bytes = encode(sampleImage());
    bytes.resize(21);  // identifier only: recognised before the rest is read
    TInt32 index = -1;
    EXPECT_TRUE(load(bytes, index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(loadOk(sampleImage(), "b.mcb"), 1);  // another name: a new image
}

TEST_F(Loader, FailedLoadsLeaveTheTablesAsTheyWere) {
    std::vector<TUint8> bytes = encode(sampleImage());
    bytes[0] = 19;
    EXPECT_TRUE(fails(bytes));
    EXPECT_EQ(tableSizes(), (std::vector<TInt32>{0, 0, 0, 0, 0, 0, 0, 0, 0}));
    ImageFile badFlag = sampleImage();
    badFlag.classes[0].arrayFields[0].flag = 1;
    EXPECT_TRUE(fails(encode(badFlag)));
    EXPECT_EQ(loader.lastError().section, "classes, class 0");

    loadOk(sampleImage());
    std::vector<TInt32> before = tableSizes();
    const TInt32 entries = heap.numberOfEntries();
    ImageFile image = sampleImage(4, "broken-image--------");
    image.code.pop_back();  // cuts the final return
    EXPECT_TRUE(fails(encode(image)));
    EXPECT_EQ(tableSizes(), before);
    EXPECT_EQ(heap.numberOfEntries(), entries);
    std::vector<TUint8> head = encode(image);
    head.resize(21);
    EXPECT_TRUE(fails(head));  // nothing of it was recorded, so it is not taken as loaded
}

TEST_F(Loader, LoadsFromAStreamFromItsPosition) {
    std::vector<TUint8> bytes = encode(sampleImage());
    VELMAR::MemoryInputStream stream(bytes);
    TInt32 index = -1;
    EXPECT_TRUE(loader.load(CAppsString("index.mcb"), stream, index)) << loader.lastError().describe();
    EXPECT_EQ(tables.code.getSize(), TInt32(sampleCode().code.bytes.size()));
}

TEST_F(Loader, ClassBasesThatWouldMakeTheTablesHugeFail) {
    ImageFile first = sampleImage();
    first.code = Code().op(mcb::Op::SetClass, {0x7FFFFFF0}).bytes;
    loadOk(first);
    EXPECT_EQ(tables.largestClassIndex, 0x7FFFFFF1);
    EXPECT_TRUE(fails(encode(sampleImage(4, "second-image--------"))));
    EXPECT_EQ(loader.lastError().section, "classes");
}

TEST(LoaderLimits, GlobalsTheHeapCannotHoldFailCleanly) {
    VMMemory small(TUint64(1) << 20);
    VMHeap smallHeap(small);
    ProgramTables t;
    ImageLoader l(t, smallHeap);
    ImageFile image = sampleImage();
    image.globalCount = 1 << 20;  // 4 MB of globals in a 1 MB region
    std::vector<TUint8> bytes = encode(image);
    TInt32 index = -1;
    EXPECT_FALSE(l.load(CAppsString("index.mcb"), bytes.data(), bytes.size(), index));
    EXPECT_EQ(l.lastError().section, "globals");
    EXPECT_EQ(t.images.getSize(), 0);
    EXPECT_EQ(vmerr::pendingErrorCode(), 0);
}
