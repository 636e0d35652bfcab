// Encoding and decoding bitmaps: round trips through every format, ranges of
// bytes, files, and the busy notices around encoding.
#include "GraphicsTestSupport.h"

#include "natives/graphics/BitmapLoading.h"

namespace mcb {

using namespace gfxtest;

namespace {
// A 5 x 4 bitmap of distinct opaque pixels in global 2.
std::string picture() {
    std::string s = bitmap(2, 5, 4, 0xFF000000);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            s += call("Bitmap.set_pixel", {G(2), x, y, 0xFF000000u | TUint32(x * 50) << 16 | TUint32(y * 60) << 8 | 0x99});
    return s;
}

// Global 2 encoded in `format` (global 3), then decoded again (global 4).
std::string roundTrip(int format) {
    return callTo(3, "Bitmap.encode", {G(2), format}) + call("Bitmap.decode", {G(4), V(3)});
}
}  // namespace

TEST(Loading, RoundTripsThroughEveryFormat) {
    struct Case {
        int format;
        bool exact;
    } cases[] = {{2, true}, {4, true}, {1, false}};
    for (const Case& c : cases) {
        NativeProgram p(picture() + roundTrip(c.format) + call("Graphics.fill_rect", {G(2), 0, 0, 1, 1, 0xFFFFFFFF}) +
                        roundTrip(c.format));
        ASSERT_EQ(errorOf(p), "0: ") << c.format;
        QImage original = pictureIn(p, 2), copy = pictureIn(p, 4);
        EXPECT_EQ(copy.size(), QSize(5, 4)) << c.format;
        if (c.exact) {
            EXPECT_EQ(copy, original) << c.format;
        }
        EXPECT_EQ(p.host.busyNotices, std::vector<bool>({false, true, false, true}));
    }
}

TEST(Loading, EncodingGivesEmptyArraysWhereThereIsNothingToWrite) {
    NativeProgram p(picture() + callTo(3, "Bitmap.encode", {G(2), 3}) + callTo(4, "Bitmap.encode", {G(2), 9}) +
                    callTo(5, "Bitmap.encode", {G(2), 0}) + bitmap(6, 0, 0, 0) + callTo(7, "Bitmap.encode", {G(6), 2}) +
                    call("Bitmap.set_pixel", {G(2), 0, 0, 0x80123456}) + callTo(8, "Bitmap.encode", {G(2), 2}));
    ASSERT_EQ(errorOf(p), "0: ");
    for (int g : {3, 4, 5, 7}) EXPECT_TRUE(p.bytes(g).empty()) << g;
    // Pixel edits are encoded as stored.
    std::vector<TUint8> png = bytesAt(p, 8);
    QImage decoded = QImage::fromData(png.data(), int(png.size()), "PNG");
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32).pixel(0, 0), 0x80123456u);
}

TEST(Loading, DecodingARangeAFileAndAClone) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(0xFF336699);
    image.setPixel(2, 1, 0xFFFF0000);
    std::vector<TUint8> png = encoded(image), framed(png.size() + 4, 9);
    std::copy(png.begin(), png.end(), framed.begin() + 3);
    ScratchFiles files;
    files.put("pic.png", png);
    NativeProgram p(call("Bitmap.decode_range", {G(2), kHandOver, 3, TInt32(png.size())}) +
                        call("Bitmap.load_file", {G(3), S("name")}) + call("Bitmap.clone", {G(4), G(3)}) +
                        bitmap(5, 0, 3, 0) + call("Bitmap.clone", {G(6), G(5)}) +
                        call("Bitmap.copy_rect", {G(7), G(3), 1, 1, 2, 1}) + call("Bitmap.copy_rect", {G(8), G(3), 3, 2, 0, 0}) +
                        call("Bitmap.copy_rect", {G(9), G(5), 0, 0, 0, 0}) + call("Bitmap.copy_rect", {G(10), G(3), 0, 0, 3, 2}),
                    ".string name \"pic.png\"", [&](NativeProgram& q) {
                        handingBytes(framed)(q);
                        q.host.serveFiles(files.root());
                    });
    ASSERT_EQ(errorOf(p), "0: ");
    QImage expected = image.convertToFormat(QImage::Format_ARGB32);
    for (int g : {2, 3, 4, 10}) EXPECT_EQ(pictureIn(p, g), expected) << g;
    EXPECT_EQ(pictureIn(p, 7), expected.copy(1, 1, 2, 1));
    for (int g : {6, 8, 9}) {
        EXPECT_NE(p.word(g), 0u) << g;
        EXPECT_EQ(containerIn(p, g), nullptr) << g;
    }
}

namespace {
// A stream that promises more than it gives, like a file cut short while read.
class ShortStream : public VELMAR::InputStream {
public:
    TInt32 read() override { return -1; }
    bool read(TUint8*, TUint32) override { return false; }
    TUint32 size() override { return 100; }
    TUint32 position() override { return 0; }
    bool seek(TUint32) override { return false; }
    bool atEnd() override { return false; }
    void close() override {}
};
}  // namespace

TEST(Loading, AFileCutShortIsAnInputFailure) {
    NativeProgram p("", "", [](NativeProgram& q) {
        q.host.reader = [](const OString&) { return std::make_unique<CAppsFileReader>(new ShortStream); };
    });
    for (TBool asFont : {EFalse, ETrue})
        EXPECT_EQ(outcomeOf([&] { graphics::LoadBitmapFromFile(p.vm, OString("cut.png"), asFont); }).text,
                  "IOException");
}

}  // namespace mcb
