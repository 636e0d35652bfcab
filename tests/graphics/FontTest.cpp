// Fonts: bitmap fonts from generated images (through bytes and through files),
// their measures and colours, and the platform font against Qt's own metrics.
// Loading failures: ErrorsTest.cpp.
#include "GraphicsTestSupport.h"

#include "graphics/VelmarFont.h"

#include <QFontMetrics>

namespace mcb {

using namespace gfxtest;

namespace {
// 30 rows: column 0 marks rows 0 to 21 (the ascent), the last row the glyph
// boundaries. The "!" glyph (columns 8 to 14) has full coverage in column 10
// and half in column 11, rows 4 to 20.
QImage fontImage(std::initializer_list<int> boundaries = {8, 15, 20}) {
    QImage image(24, 30, QImage::Format_ARGB32);
    image.fill(0xFFFFFF00);  // coverage is the blue byte alone
    for (int y = 0; y < 22; ++y) image.setPixel(0, y, 0xFF000001);
    for (int b : boundaries) image.setPixel(b, 29, 0xFF0000FF);
    for (int y = 4; y <= 20; ++y) {
        image.setPixel(10, y, 0xFF0000FF);
        image.setPixel(11, y, 0xFF000080);
    }
    return image;
}

const char* const kStrings = ".string A \"A\"\n.string bang_space \"! \"\n.string bangs \"!!\"\n"
                             ".string bang \"!\"\n.string col1 \" !\\\"\"\n.string file \"font.png\"\n"
                             ".string hello \"Hello, world\"\n.string t \"t\"";

// Measures of the font whose cell global `g` holds, into globals 10 up.
std::string measures(int g) {
    return callTo(10, "Font.height", {V(g)}) + callTo(11, "Font.ascent", {V(g)}) +
           callTo(12, "Font.string_width", {V(g), S("A")}) + callTo(13, "Font.string_width", {V(g), S("bang_space")}) +
           callTo(14, "Font.chars_fit", {V(g), S("bangs"), 10}) + callTo(15, "Font.chars_fit_range", {V(g), S("bangs"), 0, 0, 10}) +
           callTo(16, "Font.string_width_range", {V(g), S("bang_space"), 1, -1});
}
}  // namespace

TEST(Fonts, BitmapFontsFromBytesAndFilesMeasureTheirGlyphs) {
    ScratchFiles files;
    files.put("font.png", encoded(fontImage()));
    const std::vector<TUint8> png = encoded(fontImage());
    const std::vector<TInt32> expected = {29, 22, 0, 14, 1, 0, 7};
    for (const std::string& load : {std::string("extcall 20, 99\nnative System.image_from_bytes\n"),
                                    std::string("ldstr file\nnative System.image_from_file\n")}) {
        NativeProgram p(load + "@store 2\n" + measures(2), kStrings, [&](NativeProgram& q) {
            handingBytes(png)(q);
            q.host.serveFiles(files.root());
        });
        ASSERT_EQ(errorOf(p), "0: ") << load;
        for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(p.integer(10 + int(i)), expected[i]) << load << i;
    }
}

TEST(Fonts, GlyphTablesFromTheBoundaryRow) {
    VirtualMachine vm;
    struct Case {
        std::initializer_list<int> boundaries;
        std::vector<std::pair<int, int>> glyphs;
    } cases[] = {
        {{8, 15, 20}, {{1, 7}, {8, 7}, {15, 5}}},
        {{1, 5, 9}, {{1, 0}, {1, 4}, {5, 4}}},  // a boundary in column 1: an empty first glyph
        {{}, {}},
    };
    for (const Case& c : cases) {
        VelmarFont font(fontImage(c.boundaries));
        std::vector<std::pair<int, int>> glyphs;
        for (const VelmarFont::CharData& g : font.glyphs()) glyphs.push_back({g.x, g.width});
        EXPECT_EQ(glyphs, c.glyphs);
        EXPECT_EQ(font.height(), 29);
        EXPECT_EQ(font.ascent(), 22);
    }
    VelmarFont none{QImage()};
    EXPECT_EQ(none.height(), 0);
    EXPECT_TRUE(none.glyphs().isEmpty());

    NativeProgram p("extcall 20, 99\nnative System.image_from_bytes\n@store 2\n" +
                        callTo(10, "Font.string_width", {V(2), S("col1")}),
                    kStrings, handingBytes(encoded(fontImage({1, 5, 9}))));
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.integer(10), 8);
}

TEST(Fonts, BitmapTextTakesEachColourOnTheGlyphPixelsAndBlendsWhenTranslucent) {
    NativeProgram p("extcall 20, 99\nnative System.image_from_bytes\n@store 2\n" + bitmap(3, 40, 30, kBlack) +
                        call("Graphics.draw_string", {G(3), S("bang"), 0, 1, kRed, V(2)}) +
                        call("Graphics.draw_string", {G(3), S("bang"), 8, 1, kBlue, V(2)}) +
                        call("Graphics.draw_string", {G(3), S("bang"), 16, 1, kRed, V(2)}) +
                        call("Graphics.draw_string_range", {G(3), S("bangs"), 1, 1, 24, 1, kRed, V(2)}) +
                        call("Graphics.draw_string", {G(3), S("A"), 0, 0, kRed, V(2)}) +
                        call("Graphics.draw_string", {G(3), S("bang"), 32, 1, 0x80FF0000, V(2)}),
                    kStrings, handingBytes(encoded(fontImage())));
    ASSERT_EQ(errorOf(p), "0: ");
    QImage image = pictureIn(p, 3);
    const std::tuple<int, TUint32> glyphs[] = {{0, kRed}, {8, kBlue}, {16, kRed}, {24, kRed}};
    for (auto [x, colour] : glyphs) {
        EXPECT_EQ(image.pixel(x + 2, 5), colour) << x;  // column 10 of the image, row 4, drawn from y = 1
        EXPECT_EQ(image.pixel(x + 2, 21), colour) << x;
        EXPECT_TRUE(near(image.pixel(x + 3, 12), (colour & 0xFF000000) | ((colour & 0xFEFEFE) >> 1), 1)) << x;
        EXPECT_EQ(image.pixel(x + 2, 4), kBlack) << x;
        EXPECT_EQ(image.pixel(x + 1, 12), kBlack) << x;
    }
    EXPECT_TRUE(near(image.pixel(34, 12), 0xFF800000, 1));  // translucent text blends with what is below
    // Red, blue, red, red, translucent red: three colourings.
    auto* font = p.vm.heap().objectAs<VelmarFont>(p.vm.memory().readWord(p.word(2)));
    EXPECT_EQ(font->colourings(), 3);
}

TEST(Fonts, ThePlatformFontMeasuresAndDrawsAsQtDoes) {
    NativeProgram p("native System.default_font\n@store 2\n" + measures(2) +
                        callTo(17, "Font.string_width", {V(2), S("hello")}) +
                        callTo(18, "Font.chars_fit", {V(2), S("hello"), 100}) +
                        callTo(19, "Font.chars_fit_range", {V(2), S("hello"), 7, -1, 1000}) +
                        bitmap(3, 300, 60, kBlack) + call("Graphics.draw_string_range", {G(3), S("hello"), 0, 5, 3, 4, kRed, V(2)}),
                    kStrings);
    ASSERT_EQ(errorOf(p), "0: ");
    QFont font;
    font.setPixelSize(40);
    ASSERT_EQ(font.family(), "DejaVu Sans");
    QFontMetrics m(font);
    auto fits = [&](const QString& s, int max) {
        int n = 0;
        while (n < s.size() && m.horizontalAdvance(s.left(n + 1)) <= max) ++n;
        return n;
    };
    std::vector<TInt32> got;
    for (int g : {10, 11, 12, 13, 14, 15, 17, 18, 19}) got.push_back(p.integer(g));
    EXPECT_EQ(got, (std::vector<TInt32>{m.height(), m.ascent(), m.horizontalAdvance("A"), m.horizontalAdvance("! "),
                                        fits("!!", 10), 0, m.horizontalAdvance("Hello, world"),
                                        fits("Hello, world", 100), fits("world", 1000)}));

    QPixmap expected(300, 60);
    expected.fill(Qt::black);
    QPainter painter(&expected);
    painter.setFont(font);
    painter.setPen(QColor(Qt::red));
    painter.drawText(QRect(3, 4, 32768, 32768), Qt::AlignLeft | Qt::AlignTop, "Hello");
    painter.end();
    QImage drawn = pictureIn(p, 3);
    EXPECT_EQ(drawn, expected.toImage().convertToFormat(QImage::Format_ARGB32));
    QImage blank(300, 60, QImage::Format_ARGB32);
    blank.fill(kBlack);
    EXPECT_NE(drawn, blank);  // something was drawn at all
}

}  // namespace mcb
