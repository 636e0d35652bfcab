// The Graphics natives drawing on bitmaps and canvases, pixel by pixel, and
// bitmaps keeping their pixels across the switches between pixmap and image.
#include "GraphicsTestSupport.h"

#include <cmath>

namespace mcb {

using namespace gfxtest;

namespace {
TUint32 sprite(int x, int y) { return 0xFF000033u | TUint32(40 + 50 * x) << 16 | TUint32(40 + 50 * y) << 8; }

// Global 2: a 16 x 16 black target; 3: a 4 x 4 sprite of distinct opaque
// pixels; 4: a 4 x 4 sprite, its left half blue and its right half red.
std::string scene() {
    std::string s = bitmap(2, 16, 16, kBlack) + bitmap(3, 4, 4, kBlack);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) s += call("Bitmap.set_pixel", {G(3), x, y, sprite(x, y)});
    return s + bitmap(4, 4, 4, kBlue) + call("Graphics.fill_rect", {G(4), 2, 0, 2, 4, kRed});
}

struct Expect {
    int x, y;
    TUint32 colour;
    int tolerance = 0;
};

// The sprite's pixels, each scaled by `alpha` over black, found from (left, top) in steps of `scale`.
std::vector<Expect> spriteAt(int left, int top, int scale = 1, int alpha = 255) {
    std::vector<Expect> out;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            TUint32 c = sprite(x, y), faded = 0xFF000000;
            for (int shift = 0; shift < 24; shift += 8) faded |= TUint32(((c >> shift) & 0xFF) * alpha / 255) << shift;
            for (int d = 0; d < scale * scale; ++d)
                out.push_back({left + x * scale + d % scale, top + y * scale + d / scale, faded, alpha == 255 ? 0 : 1});
        }
    return out;
}

struct Case {
    const char* name;
    std::string body;
    std::vector<Expect> expect;
};

// The case's body after the scene, then the pixels of global 2.
void expectPixels(const Case& c) {
    NativeProgram p(scene() + c.body, ".string t \"t\"");
    ASSERT_EQ(errorOf(p), "0: ") << c.name;
    QImage image = pictureIn(p, 2);
    for (const Expect& e : c.expect)
        EXPECT_TRUE(near(image.pixel(e.x, e.y), e.colour, e.tolerance))
            << c.name << " at (" << e.x << ", " << e.y << "): " << std::hex << image.pixel(e.x, e.y) << " for "
            << e.colour;
}
}  // namespace

TEST(Drawing, OnBitmapsGivesExactPixels) {
    const double halfPi = std::acos(-1.0) / 2;
    const Case cases[] = {
        {"fill rect", call("Graphics.fill_rect", {G(2), 2, 3, 4, 5, kRed}),
         {{2, 3, kRed}, {5, 7, kRed}, {1, 3, kBlack}, {6, 7, kBlack}, {2, 2, kBlack}, {2, 8, kBlack}}},
        {"line endpoints", call("Graphics.draw_line", {G(2), 1, 1, 8, 1, kGreen}),
         {{1, 1, kGreen}, {8, 1, kGreen}, {0, 1, kBlack}, {9, 1, kBlack}, {4, 2, kBlack}}},
        {"bitmap at alpha 255", call("Graphics.draw_bitmap_at", {G(2), G(3), 5, 6, 255}), spriteAt(5, 6)},
        {"bitmap at alpha 128", call("Graphics.draw_bitmap_at", {G(2), G(3), 5, 6, 128}), spriteAt(5, 6, 1, 128)},
        {"source partly outside",
         call("Graphics.draw_bitmap", {G(2), G(3), 10, 10, -2, -1, 4, 4, 255}),
         {{12, 11, sprite(0, 0)}, {13, 13, sprite(1, 2)}, {11, 11, kBlack}, {14, 11, kBlack}, {12, 14, kBlack},
          {10, 10, kBlack}}},
        {"tiles at offset (1, 2)", call("Graphics.draw_tiled", {G(2), G(3), 0, 0, 16, 16, 1, 2, 7}),
         {{1, 2, sprite(0, 0)}, {5, 6, sprite(0, 0)}, {0, 0, sprite(3, 2)}, {15, 15, sprite(2, 1)}}},
        {"transformed at angle 0, scale 2",
         call("Graphics.draw_transformed", {G(2), G(3), 8, 8, F(0), F(2), F(2), 255}), spriteAt(4, 4, 2)},
        // A quarter turn counter-clockwise takes the right (red) half to the top.
        {"transformed at a quarter turn",
         call("Graphics.draw_transformed", {G(2), G(4), 8, 8, F(halfPi), F(1), F(1), 255}),
         {{7, 6, kRed}, {8, 6, kRed}, {7, 9, kBlue}, {8, 9, kBlue}, {4, 8, kBlack}}},
        {"clear with 0x00000000", call("Graphics.clear", {G(2), 0}), {{0, 0, 0}, {15, 15, 0}, {7, 8, 0}}},
    };
    for (const Case& c : cases) expectPixels(c);
}

TEST(Drawing, ClearingTheCanvasBlendsAndEveryOpcodeRemovesItsWords) {
    Canvas canvas(0xFF102030);
    // The canvas handle in global 6; each call below leaves the stack as it found it.
    NativeProgram p(kHandOver.code + "@store 6\n" + bitmap(3, 4, 4, kRed) +
                        call("Graphics.clear", {G(6), 0}) + call("Graphics.fill_rect", {G(6), 0, 0, 2, 2, 0x80FFFFFF}) +
                        call("Graphics.draw_bitmap_at", {G(6), G(3), 30, 20, 255}) +
                        call("Graphics.draw_line", {G(6), 0, 29, 39, 29, kGreen}) +
                        call("Graphics.draw_tiled", {G(6), G(3), 20, 0, 8, 4, 0, 0, 255}) +
                        call("Graphics.draw_bitmap", {G(6), G(3), 0, 10, 0, 0, 4, 4, 255}) +
                        call("Graphics, 9", {G(6), 1, 2, 3, 4}) +
                        call("Graphics.draw_transformed", {G(6), G(3), 10, 20, F(0), F(1), F(1), 255}) +
                        call("Graphics.draw_string", {G(6), S("t"), 0, 0, kRed, G(7)}) +
                        call("Graphics.draw_string_range", {G(6), S("t"), 0, 1, 0, 0, kRed, G(7)}),
                    ".string t \"t\"", canvas.handOver());
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(canvas.pixel(5, 5), 0xFF102030u);  // cleared with transparent: unchanged
    EXPECT_TRUE(near(canvas.pixel(0, 0), 0xFF889098u, 1));
    EXPECT_EQ(canvas.pixel(31, 21), kRed);
    EXPECT_EQ(canvas.pixel(20, 29), kGreen);
    EXPECT_EQ(canvas.pixel(25, 2), kRed);
    EXPECT_EQ(canvas.pixel(2, 12), kRed);
    EXPECT_EQ(canvas.pixel(9, 19), kRed);  // centred on (10, 20)
}

// Null handles draw nothing; a bitmap drawn on itself is drawn from a copy of
// itself as it was; drawing on an empty bitmap does nothing.
TEST(Drawing, NullSameAndEmptyHandles) {
    const Case cases[] = {
        {"null target and source",
         call("Graphics.draw_bitmap_at", {G(9), G(3), 0, 0, 255}) + call("Graphics.draw_bitmap_at", {G(2), G(9), 0, 0, 255}) +
             call("Graphics.fill_rect", {G(9), 0, 0, 9, 9, kRed}) + call("Graphics.draw_line", {G(9), 0, 0, 9, 9, kRed}) +
             call("Graphics.draw_tiled", {G(9), G(3), 0, 0, 9, 9, 0, 0, 255}) +
             call("Graphics.draw_tiled", {G(2), G(9), 0, 0, 9, 9, 0, 0, 255}) +
             call("Graphics.draw_bitmap", {G(2), G(9), 0, 0, 0, 0, 4, 4, 255}) +
             call("Graphics.draw_transformed", {G(9), G(3), 0, 0, F(0), F(1), F(1), 255}) +
             call("Graphics.clear", {G(9), kRed}) + call("Graphics.draw_string", {G(9), S("t"), 0, 0, kRed, G(9)}),
         {{0, 0, kBlack}, {3, 3, kBlack}}},
        {"bitmap at itself",
         call("Graphics.fill_rect", {G(2), 0, 0, 1, 1, kRed}) + call("Graphics.draw_bitmap_at", {G(2), G(2), 1, 1, 255}),
         {{0, 0, kRed}, {1, 1, kBlack}}},
        {"tiled from itself",
         call("Graphics.fill_rect", {G(2), 0, 0, 1, 1, kRed}) +
             call("Graphics.draw_tiled", {G(2), G(2), 0, 0, 16, 16, 1, 1, 255}),
         {{1, 1, kRed}, {0, 0, kBlack}, {2, 2, kBlack}}},
        {"bitmap from itself, shifted",
         call("Graphics.fill_rect", {G(2), 0, 0, 2, 2, kRed}) + call("Graphics.draw_bitmap", {G(2), G(2), 1, 1, 0, 0, 4, 4, 255}),
         {{0, 0, kRed}, {2, 2, kRed}, {3, 3, kBlack}, {4, 4, kBlack}}},
        {"transformed from itself",
         call("Graphics.fill_rect", {G(2), 0, 0, 8, 16, kRed}) +
             call("Graphics.draw_transformed", {G(2), G(2), 8, 8, F(0), F(-1), F(1), 255}),
         {{0, 0, kBlack}, {15, 15, kRed}}},
        {"on an empty bitmap",
         bitmap(8, 0, 10, kRed) + call("Graphics.fill_rect", {G(8), 0, 0, 9, 9, kRed}) +
             call("Graphics.clear", {G(8), kRed}) + call("Graphics.draw_bitmap_at", {G(2), G(8), 0, 0, 255}) +
             call("Graphics.draw_bitmap_at", {G(8), G(3), 0, 0, 255}) +
             call("Graphics.draw_bitmap", {G(2), G(8), 0, 0, 0, 0, 4, 4, 255}) +
             call("Graphics.draw_tiled", {G(2), G(8), 0, 0, 4, 4, 0, 0, 255}),
         {{0, 0, kBlack}}},
    };
    static int warnings = 0;
    QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
        warnings += m == "Null BitmapContainer";
    });
    for (const Case& c : cases) expectPixels(c);
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings, 2);  // drawing and tiling the empty bitmap; opcode 1 skips it quietly
}

// Pixel access works on the image and drawing on the pixmap; every mix of the
// two sees everything done before.
TEST(Drawing, PixelsSurviveEverySwitchBetweenPixmapAndImage) {
    struct Reads {
        const char* name;
        std::string body;  // results in globals 10 up
        std::vector<TUint32> results;
    } cases[] = {
        {"translucent pixel read back exactly",
         call("Bitmap.set_pixel", {G(3), 1, 2, 0x80123456}) + callTo(10, "Bitmap.pixel", {G(3), 1, 2}),
         {0x80123456}},
        {"translucent fill read back exactly", call("Graphics.clear", {G(3), 0x40ABCDEF}) + callTo(10, "Bitmap.pixel", {G(3), 3, 3}),
         {0x40ABCDEF}},
        {"pixel edits visible when drawn",
         call("Bitmap.set_pixel", {G(3), 0, 0, kGreen}) + call("Graphics.draw_bitmap_at", {G(2), G(3), 0, 0, 255}) +
             callTo(10, "Bitmap.pixel", {G(2), 0, 0}) + callTo(11, "Bitmap.pixel", {G(2), 1, 0}),
         {kGreen, sprite(1, 0)}},
        {"draw, read, draw, read",
         call("Graphics.fill_rect", {G(2), 0, 0, 1, 1, kRed}) + callTo(10, "Bitmap.pixel", {G(2), 0, 0}) +
             call("Graphics.fill_rect", {G(2), 5, 5, 1, 1, kBlue}) + callTo(11, "Bitmap.pixel", {G(2), 0, 0}) +
             callTo(12, "Bitmap.pixel", {G(2), 5, 5}),
         {kRed, kRed, kBlue}},
        {"draw, write, draw as source, draw, read",
         call("Graphics.fill_rect", {G(2), 0, 0, 1, 1, kRed}) + call("Bitmap.set_pixel", {G(2), 1, 0, kGreen}) +
             call("Graphics.draw_bitmap_at", {G(3), G(2), 0, 0, 255}) + call("Graphics.fill_rect", {G(2), 2, 0, 1, 1, kBlue}) +
             callTo(10, "Bitmap.pixel", {G(2), 0, 0}) + callTo(11, "Bitmap.pixel", {G(2), 1, 0}) +
             callTo(12, "Bitmap.pixel", {G(2), 2, 0}) + callTo(13, "Bitmap.pixel", {G(3), 1, 0}),
         {kRed, kGreen, kBlue, kGreen}},
        {"clearing a bitmap that has a surface",
         call("Graphics.fill_rect", {G(2), 0, 0, 1, 1, kRed}) + call("Graphics.clear", {G(2), kGreen}) +
             callTo(10, "Bitmap.pixel", {G(2), 0, 0}) + call("Graphics.fill_rect", {G(2), 1, 1, 1, 1, kRed}) +
             callTo(11, "Bitmap.pixel", {G(2), 1, 1}) + call("Graphics.clear", {G(2), 0}) +
             callTo(12, "Bitmap.pixel", {G(2), 1, 1}),
         {kGreen, kRed, 0}},
        {"copies and clones take the current pixels",
         call("Graphics.fill_rect", {G(2), 0, 0, 2, 2, kRed}) + call("Bitmap.set_pixel", {G(2), 1, 1, 0x80123456}) +
             call("Bitmap.clone", {G(5), G(2)}) + call("Bitmap.copy_rect", {G(6), G(2), 1, 0, 1, 1}) +
             callTo(10, "Bitmap.pixel", {G(5), 1, 1}) + callTo(11, "Bitmap.pixel", {G(6), 0, 0}),
         {0x80123456, kRed}},
    };
    for (const Reads& c : cases) {
        NativeProgram p(scene() + c.body);
        ASSERT_EQ(errorOf(p), "0: ") << c.name;
        for (size_t i = 0; i < c.results.size(); ++i)
            EXPECT_EQ(p.word(10 + int(i)), c.results[i]) << c.name << " result " << i;
    }
}

TEST(Drawing, ResizingAndSizes) {
    NativeProgram p(bitmap(2, 100, 50, kRed) + call("Graphics.fill_rect", {G(2), 50, 0, 50, 50, kBlue}) +
                    call("Bitmap.resize_fast", {G(2), 200, 50}) + call("Bitmap.size", {G(2)}) + "@store 11\n@store 10\n" +
                    callTo(12, "Bitmap.pixel", {G(2), 99, 10}) + callTo(13, "Bitmap.pixel", {G(2), 100, 10}) +
                    bitmap(3, 0, 10, kRed) + call("Bitmap.size", {G(3)}) + "@store 15\n@store 14\n" +
                    call("Bitmap.resize_smooth", {G(3), 3, 2}) + callTo(16, "Bitmap.pixel", {G(3), 2, 1}) +
                    call("Bitmap.resize_fast2", {G(3), 3, 2}) + call("Bitmap.resize_fast", {G(3), -1, 5}) +
                    call("Bitmap.size", {G(3)}) + "@store 18\n@store 17\n" +
                    call("Bitmap.resize_smooth", {G(2), 4, 0}) + call("Bitmap.size", {G(2)}) + "@store 20\n@store 19\n");
    ASSERT_EQ(errorOf(p), "0: ");
    std::vector<TUint32> results;
    for (int g = 10; g <= 20; ++g) results.push_back(p.word(g));
    // 200 x 50, the left half and the right half stretched; an empty bitmap's size; an
    // empty bitmap grows opaque black; a negative or zero dimension empties it.
    EXPECT_EQ(results, (std::vector<TUint32>{200, 50, kRed, kBlue, 0, 0, kBlack, 0, 0, 0, 0}));
    EXPECT_EQ(containerIn(p, 3), nullptr);
}

// Far coordinates reach Qt only inside the int range, and still cover what they cover.
TEST(Drawing, FarCoordinatesDrawWhatTheyCover) {
    const TInt32 kMin = INT32_MIN, kMax = INT32_MAX, kFar = 1 << 30;
    NativeProgram p(scene() + call("Graphics.fill_rect", {G(2), -kFar, 0, kFar + 3, 2, kRed}) +
                    call("Graphics.fill_rect", {G(2), kMin, 2, kMax, 2, kRed}) +
                    call("Graphics.fill_rect", {G(2), 14, kMax, kMax, kMax, kRed}) +
                    call("Graphics.draw_line", {G(2), kMin, 12, kMax, 12, kGreen}) +
                    call("Graphics.draw_line", {G(2), kMin, kMin, kMax, kMin, kGreen}) +
                    call("Graphics.draw_bitmap", {G(2), G(3), kMax, kMax, kMax, 0, kMax, kMax, 255}) +
                    call("Graphics.draw_bitmap", {G(2), G(3), -kFar, 4, -kFar, 0, kFar + 2, 2, 255}) +
                    call("Graphics.draw_tiled", {G(2), G(3), -kFar, 8, kFar + 16, 2, 1, 0, 255}) +
                    call("Graphics.draw_tiled", {G(2), G(3), 0, 14, 16, 1, kMin, kMax, 255}) +
                    call("Graphics.draw_transformed", {G(4), G(3), kMax, kMin, F(1e9), F(2e9), F(-2e9), 128}) +
                    call("Graphics.draw_string", {G(2), S("t"), kMax, kMax, kRed, G(9)}),
                    ".string t \"t\"");
    ASSERT_EQ(errorOf(p), "0: ");
    // kMin + kMax = -1: nothing visible at (0, 2). The tile's (0, 0) at -2^30 + 1,
    // which is 1 modulo 4; offsets (kMin, kMax) put it on x = 0 and y = 1 modulo 4.
    const Expect expected[] = {{0, 0, kRed}, {2, 1, kRed}, {3, 0, kBlack}, {0, 2, kBlack}, {15, 3, kBlack},
                               {7, 12, kGreen}, {0, 4, sprite(0, 0)}, {1, 5, sprite(1, 1)}, {2, 4, kBlack},
                               {1, 8, sprite(0, 0)}, {0, 8, sprite(3, 0)}, {5, 9, sprite(0, 1)}, {4, 14, sprite(0, 1)}};
    QImage image = pictureIn(p, 2);
    for (const Expect& e : expected) EXPECT_EQ(image.pixel(e.x, e.y), e.colour) << e.x << ", " << e.y;
}

}  // namespace mcb
