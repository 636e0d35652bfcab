// Every refusal of the Graphics, Bitmap and Font natives and of loading a
// bitmap font, with its exact text, and nothing changed by it.
#include "GraphicsTestSupport.h"

#include "natives/graphics/BitmapLoading.h"

#include <zlib.h>

namespace mcb {

using namespace gfxtest;

namespace {
constexpr TInt32 kMax = INT32_MAX;

// Global 2: a 4 x 3 red bitmap; 3: an empty bitmap; 4: the out variable (0);
// 5: a string cell, which is no handle and no font; 6: a canvas handle;
// 7: the default font's cell.
std::string prologue() {
    return bitmap(2, 4, 3, kRed) + bitmap(3, 0, 10, kRed) + "ldstr t\n@store 5\n" + kHandOver.code + "@store 6\n" +
           "native System.default_font\n@store 7\n";
}

// A PNG whose header claims 20000 x 20000 pixels.
std::vector<TUint8> hugePng() {
    std::vector<TUint8> b = encoded(QImage(4, 4, QImage::Format_RGB32));
    auto put = [&](size_t at, TUint32 v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = TUint8(v >> (24 - 8 * i));
    };
    put(16, 20000), put(20, 20000);
    put(29, TUint32(crc32(0, b.data() + 12, 17)));  // the header chunk's checksum
    return b;
}
}  // namespace

// Pixels count against the application's memory budget, in each representation.
TEST(Errors, PicturesAreChargedToTheMemoryBudget) {
    auto limited = [](NativeProgram& q) { q.vm.budget().setLimit(q.vm.budget().used() + (TUint64(12) << 20)); };
    NativeProgram fits(call("Bitmap.create", {G(4), 1000, 1000, 0x80FF0000}), "", limited);
    EXPECT_EQ(errorOf(fits), "0: ");
    NativeProgram twice(call("Bitmap.create", {G(4), 1000, 1000, kRed}) + call("Bitmap.create", {G(5), 1000, 1000, kRed}) +
                            call("Bitmap.create", {G(6), 1000, 1000, 0x80FF0000}),
                        "", limited);
    EXPECT_EQ(errorOf(twice), "6: InvalidArgumentException: Out of memory");
    NativeProgram large(call("Bitmap.create", {G(4), 4000, 4000, kRed}), "", limited);
    EXPECT_EQ(errorOf(large), "6: InvalidArgumentException: Out of memory");

    // A bitmap font holds its coverage, and a coloured copy once it has drawn.
    QImage glyphs(1000, 1000, QImage::Format_ARGB32);
    glyphs.fill(0);
    glyphs.setPixel(5, 999, 0xFF0000FF);  // one glyph, for the space
    const auto fontBytes = [limited, bytes = encoded(glyphs)](NativeProgram& q) {
        handingBytes(bytes)(q);
        limited(q);
    };
    const std::string font = "extcall 20, 99\nnative System.image_from_bytes\n";
    const std::string drawn =
        bitmap(4, 2, 2, kRed) + call("Graphics.draw_string", {G(4), S("space"), 0, 0, kRed, V(2)});
    const char* const space = ".string space \" \"\n";
    NativeProgram oneFont(font + "@store 2\n" + drawn, space, fontBytes);
    EXPECT_EQ(errorOf(oneFont), "0: ");
    NativeProgram twoFonts(font + "@store 2\n" + drawn + font + "@store 3\n", space, fontBytes);
    EXPECT_EQ(errorOf(twoFonts), "6: InvalidArgumentException: Out of memory");

    // So is what Qt holds while it lays a text out.
    NativeProgram layout("native System.default_font\n@store 2\n" + callTo(3, "Font.string_width", {V(2), S("long")}),
                         ".string long \"" + std::string(200000, 'x') + "\"\n", limited);
    EXPECT_EQ(errorOf(layout), "6: InvalidArgumentException: Out of memory");
}

TEST(Errors, EveryRefusalHasItsTextAndChangesNothing) {
    const std::vector<TUint8> png = encoded(QImage(2, 2, QImage::Format_ARGB32));
    const std::string n = std::to_string(png.size());
    struct Case {
        std::string body;
        std::string error;
        std::vector<TUint8> handOver = {};
    } cases[] = {
        {call("Bitmap.create", {G(4), -1, 3, kRed}), "6: InvalidArgumentException: Width should be non-negative"},
        {call("Bitmap.create", {G(4), 3, -1, kRed}), "6: InvalidArgumentException: Height should be non-negative"},
        {call("Bitmap.create", {G(4), 20000, 20000, kRed}), "6: InvalidArgumentException: Bitmap too large"},
        {call("Bitmap.resize_fast", {G(2), 20000, 20000}), "6: InvalidArgumentException: Bitmap too large"},
        {call("Bitmap.decode", {G(4), kHandOver}), "6: InvalidArgumentException: Bitmap too large", hugePng()},
        {call("Bitmap.set_pixel", {G(3), 0, 0, kRed}),
         "6: InvalidArgumentException: Position is outside the bounds of the bitmap: the bitmap is empty"},
        {callTo(8, "Bitmap.pixel", {G(3), 1, 2}),
         "6: InvalidArgumentException: Position (1, 2) is outside the bounds of the bitmap, the bitmap is empty"},
        {call("Bitmap.set_pixel", {G(2), 4, 0, 0}),
         "6: InvalidArgumentException: Position (4, 0) is outside the bounds of the bitmap: (4, 3)"},
        {callTo(8, "Bitmap.pixel", {G(2), 0, -1}),
         "6: InvalidArgumentException: Position (0, -1) is outside the bounds of the bitmap: (4, 3)"},
        {call("Bitmap.copy_rect", {G(4), G(2), 1, 0, 4, 3}),
         "6: InvalidArgumentException: Source rectangle (1, 0, 4, 3) should be inside the bounds of the source "
         "bitmap: (4, 3)"},
        {call("Bitmap.copy_rect", {G(4), G(2), kMax, 0, 2, 1}),
         "6: InvalidArgumentException: Source rectangle (2147483647, 0, 2, 1) should be inside the bounds of the "
         "source bitmap: (4, 3)"},
        {call("Bitmap.copy_rect", {G(4), G(2), 0, -1, 1, 1}),
         "6: InvalidArgumentException: Source rectangle (0, -1, 1, 1) should be inside the bounds of the source "
         "bitmap: (4, 3)"},
        {call("Bitmap.copy_rect", {G(4), G(3), 0, 0, 1, 0}),
         "6: InvalidArgumentException: Source rectangle (0, 0, 1, 0) should be inside the bounds of the source "
         "bitmap, the bitmap is empty"},
        {call("Bitmap.decode", {G(4), kHandOver}), "6: InvalidArgumentException: byte[] is empty", {}},
        {call("Bitmap.decode", {G(4), kHandOver}), "6: InvalidArgumentException: Could not load image", {1, 2, 3}},
        {call("Bitmap.decode_range", {G(4), kHandOver, 1, 0}), "6: InvalidArgumentException: size is zero", png},
        {call("Bitmap.decode_range", {G(4), kHandOver, TInt32(png.size()), -1}),
         "6: InvalidArgumentException: size is zero", png},
        {call("Bitmap.decode_range", {G(4), kHandOver, 1, -1}), "6: InvalidArgumentException: Could not load image", png},
        {call("Bitmap.decode_range", {G(4), kHandOver, 0, TInt32(png.size()) + 1}),
         "5: RangeException: Invalid Range, range out of bounds: " + std::to_string(png.size() + 1) + " > " + n, png},
        {call("Bitmap.decode_range", {G(4), kHandOver, kMax, 2}),
         "5: RangeException: Invalid Range, range out of bounds: 2147483649 > " + n, png},
        {call("Bitmap.load_file", {G(4), S("empty")}), "6: InvalidArgumentException: Filename is empty"},
        {call("Bitmap.load_file", {G(4), S("missing")}), "7: IOException: Could not open file: missing.png"},
        {call("Bitmap.load_file", {G(4), S("zero")}), "6: InvalidArgumentException: File is empty"},
        {call("Bitmap.load_file", {G(4), S("text")}), "6: InvalidArgumentException: Could not load image"},
        {call("Bitmap.load_file", {G(4), S("dotdot")}), "7: IOException: Could not open file: ../x.png"},
        {callTo(4, "System.image_from_bytes", {kHandOver}), "6: InvalidArgumentException", {7, 7, 7}},
        {callTo(4, "System.image_from_bytes", {kHandOver}), "6: InvalidArgumentException: byte[] is empty", {}},
        {callTo(4, "System.image_from_file", {S("missing")}), "7: IOException: Could not open file: missing.png"},
        // Null handles and null references (the natives of a group share their handle lookup).
        {call("Bitmap.clone", {G(4), G(9)}), "1: NullPointerException"},
        {call("Bitmap.clone", {0, G(2)}), "1: NullPointerException: NULL pointer"},
        {call("Bitmap.copy_rect", {G(4), G(9), 0, 0, 0, 0}), "1: NullPointerException: NULL pointer"},
        {call("Graphics.fill_rect", {0, 0, 0, 1, 1, kRed}), "1: NullPointerException: NULL pointer"},
        {call("Graphics.draw_bitmap_at", {G(2), 0, 0, 0, 255}), "1: NullPointerException: NULL pointer"},
        {call("Graphics.draw_string", {G(2), S("t"), 0, 0, kRed, 0}), "1: NullPointerException: NULL pointer"},
        {callTo(8, "Font.height", {0}), "1: NullPointerException: NULL pointer"},
        {callTo(8, "Font.string_width", {V(7), 0}), "1: NullPointerException: NULL pointer"},
        // Handles of the wrong kind.
        {call("Graphics.fill_rect", {G(5), 0, 0, 1, 1, kRed}), "10: VMException: Invalid object type ID"},
        {call("Graphics.draw_bitmap_at", {G(2), G(6), 0, 0, 255}), "10: VMException: Invalid bitmap handle"},
        {call("Graphics.draw_bitmap", {G(2), G(6), 0, 0, 0, 0, 1, 1, 255}), "10: VMException: Invalid typeid on bitmap"},
        {callTo(8, "Bitmap.pixel", {G(6), 0, 0}), "10: VMException: Invalid typeid on bitmap"},
        {call("Bitmap.set_pixel", {G(6), 0, 0, 0}), "10: VMException: Invalid bitmap handle"},
        {call("Graphics.draw_string", {G(2), S("t"), 0, 0, kRed, G(5)}),
         "6: InvalidArgumentException: Draw string: invalid font type"},
        {callTo(8, "Font.height", {V(5)}), "10: VMException: Invalid TYPEID"},
        // Ranges are checked before the font is asked.
        {callTo(8, "Font.string_width_range", {G(9), S("t"), 0, 2}),
         "5: RangeException: Invalid Range, range out of bounds: 2 > 1"},
        {call("Graphics.draw_string_range", {G(9), S("t"), -1, 1, 0, 0, kRed, G(7)}),
         "5: RangeException: Invalid Range, first should not be less than0, first =  -1"},
        // Function numbers the groups lack: the prefix and the program counter.
        {"native Graphics, 11\n", "10: VMException: Graphics:11"},
        {"native Bitmap, 0\n", "10: VMException: Bitmap:11"},
        {"native Font, 1\n", "10: VMException: Font:11"},
    };
    for (const Case& c : cases) {
        Canvas canvas;
        ScratchFiles files;
        bool first = true;
        NativeProgram p(c.body.rfind("native ", 0) == 0 ? c.body : prologue() + c.body,
                        ".string t \"t\"\n.string empty \"\"\n.string missing \"missing.png\"\n"
                        ".string zero \"zero.png\"\n.string text \"text.png\"\n.string dotdot \"../x.png\"",
                        [&](NativeProgram& q) {
                            canvas.handOver()(q);
                            q.host.serveFiles(files.root());
                            auto canvasHandle = q.handOver;
                            q.handOver = [&, canvasHandle]() -> TInt32 {
                                if (std::exchange(first, false)) return canvasHandle();
                                return TInt32(numeric::newByteVector(q.vm, c.handOver.data(), TInt32(c.handOver.size())));
                            };
                        });
        EXPECT_EQ(errorOf(p), c.error) << c.body;
        if (c.body.rfind("native ", 0) == 0) continue;
        EXPECT_EQ(p.word(4), 0u) << c.body;
        QImage image = pictureIn(p, 2);
        EXPECT_EQ(image.size(), QSize(4, 3)) << c.body;
        EXPECT_EQ(image.pixel(3, 2), kRed) << c.body;
    }
}

TEST(Errors, FontSizesBeyondTwoAreUnknown) {
    VirtualMachine vm;
    for (TInt32 size : {0, 1, 2}) EXPECT_NE(graphics::createNativeFont(vm.heap(), size), 0u);
    for (TInt32 size : {-1, 3})
        EXPECT_EQ(outcomeOf([&] { graphics::createNativeFont(vm.heap(), size); }).text,
                  "InvalidArgumentException: Unknown font size") << size;
}

}  // namespace mcb
