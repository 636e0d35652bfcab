// The picture in a window of any size: where it goes (fit or a whole factor,
// on whole device pixels), how window positions map back, and the real player
// on a 1920 x 1080 Xvfb screen: letterboxed pixels in a grab of the screen,
// presses reaching the application at their picture position (and nowhere from
// a bar), full screen toggled by its key.
#include "HostTestSupport.h"
#include "host/ViewGeometry.h"

namespace mcb {

using namespace hosttest;

namespace {
// Left half red, right half blue, a green 10 x 10 corner; pointer events are
// logged as kind * 1000000 + x * 1000 + y, and nothing else but "ready".
const std::string kQuadrants = kAppDeclarations + R"(
.code
main:
    alloc 1, 1
    dup
    setclass App
    native System.set_application
    ldstr ready
    native Debug.log
    ret 0, 1
keyPressed:
keyReleased:
    ret 0, 3
foreground:
background:
    ret 0, 2
draw:
    ldloca -2
    push 0xFFFF0000
    native Graphics.clear
    ldloca -2
    push 400
    push 0
    push 400
    push 480
    push 0xFF0000FF
    native Graphics.fill_rect
    ldloca -2
    push 0
    push 0
    push 10
    push 10
    push 0xFF00FF00
    native Graphics.fill_rect
    ret 0, 3
pointer:
    ldloc -5
    push 1000
    mul
    ldloc -5
    add
    push 1000
    mul
    ldloc -4
    add
    itos
    native Debug.log
    ret 0, 6
)";

QImage grabScreen(const std::string& display, const std::string& file) {
    std::system(("xwd -root -silent -display " + display + " | convert xwd:- png:" + file + " 2>/dev/null").c_str());
    return QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
}
}  // namespace

TEST(ViewGeometry, ThePicturesPlaceAndTheWayBack) {
    const QSize landscape(800, 480);
    const struct {
        QSizeF window;
        int factor;
        qreal dpr;
        QRectF placed;
    } cases[] = {
        {{800, 480}, 0, 1, {0, 0, 800, 480}},
        {{1920, 1080}, 0, 1, {60, 0, 1800, 1080}},   // fit: bars left and right
        {{800, 800}, 0, 1, {0, 160, 800, 480}},      // fit: bars above and below
        {{1920, 1080}, 1, 1, {560, 300, 800, 480}},  // a whole factor, centred
        {{1920, 1080}, 3, 1, {160, 60, 1600, 960}},  // 3 does not fit: 2 does
        {{400, 240}, 2, 1, {0, 0, 400, 240}},        // not even 1 fits: fit
        {{1000, 600}, 0, 1.5, {0, 0, 1000, 600}},
        {{1001, 600}, 0, 2, {0.5, 0, 1000, 600}},  // on whole device pixels
        {{900, 480}, 1, 2, {50, 0, 800, 480}},     // factor 1 is 2 device pixels a pixel
    };
    for (const auto& c : cases) {
        QRectF placed = view::placement(c.window, landscape, c.factor, c.dpr);
        EXPECT_EQ(placed, c.placed) << c.window.width() << "x" << c.window.height() << " factor " << c.factor;
    }
    const QRectF placed(60, 0, 1800, 1080);
    QPoint p;
    EXPECT_TRUE(view::toPicture({285, 113}, placed, landscape, p));
    EXPECT_EQ(p, QPoint(100, 50));
    EXPECT_TRUE(view::toPicture({60, 0}, placed, landscape, p));
    EXPECT_EQ(p, QPoint(0, 0));
    for (QPointF bar : {QPointF(59.9, 10), QPointF(1860, 10), QPointF(100, 1080)})
        EXPECT_FALSE(view::toPicture(bar, placed, landscape, p)) << bar.x() << "," << bar.y();
    EXPECT_EQ(view::toPictureClamped({10, 2000}, placed, landscape), QPoint(0, 479));
    EXPECT_EQ(view::toWindow(QRect(10, 20, 30, 40), placed, landscape), QRect(82, 45, 68, 90));
    EXPECT_EQ(view::toPictureRect(QRect(82, 45, 68, 90), placed, landscape), QRect(9, 20, 31, 40));
    EXPECT_EQ(view::toPictureRect(QRect(0, 0, 30, 30), placed, landscape), QRect());  // a bar shows nothing
    EXPECT_EQ(view::toWindow(QRect(10, 20, 30, 40), QRectF(0, 0, 800, 480), landscape), QRect(10, 20, 30, 40));
}

// First a run that ends with a FATAL line in a window: it shows the text until the
// person has read it (under --headless nothing waits).
TEST(Scaling, OnAFullHdScreenAFatalEndWaitsThePictureIsLetterboxedAndPressesMapBack) {
    XScreen screen("1920x1080", {"Xvfb", "xdpyinfo", "xwd", "convert"});
    if (!screen.missing.empty()) GTEST_SKIP() << screen.missing << " is not installed";
    ASSERT_FALSE(screen.display.empty());
    const Scratch& dir = screen.dir;
    ChildProcess input({testBinary()}, screen.env("input"), dir.root());
    ASSERT_TRUE(input.waitFor("helper ready")) << input.err();
    auto ask = [&](const std::string& line, const std::string& answer) {
        input.send(line);
        EXPECT_TRUE(input.waitFor(answer)) << input.err();
    };
    dir.write("bad/index.mcb", "not an image");
    {
        ChildProcess fatal({playerBinary(), "bad"}, screen.env(""), dir.root());
        ASSERT_TRUE(fatal.waitFor("FATAL: UnknownException (CODE:11)\nmcbplayer: ")) << fatal.err();
        // The box is the player's one window now; Return takes its button.
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do input.send("geometry 0");
        while (!input.waitFor("geometry 0 ", 0.2) && std::chrono::steady_clock::now() < until);
        ASSERT_NE(input.err().find("geometry 0 "), std::string::npos) << "no window waits: " << input.err();
        // A key sent before the box has the focus is lost, so press until the player ends.
        until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do input.send("key Return");
        while (!fatal.waitFor("", 0.5) && std::chrono::steady_clock::now() < until);
        EXPECT_EQ(fatal.finish(), 1) << fatal.err();
    }

    writeImage(dir, kQuadrants);
    ChildProcess player({playerBinary(), "--fullscreen"}, screen.env(""), dir.root());
    ASSERT_TRUE(player.waitFor("LOG: ready\n")) << player.err();

    // 1800 x 1080 of picture (2.25 a pixel) between bars of 60.
    const struct {
        int x, y;
        QRgb colour;
    } pixels[] = {{30, 540, 0xFF000000}, {1890, 540, 0xFF000000}, {500, 540, 0xFFFF0000}, {1400, 540, 0xFF0000FF},
                  {80, 5, 0xFF00FF00},   {85, 5, 0xFFFF0000},     {61, 21, 0xFF00FF00},   {1859, 1079, 0xFF0000FF}};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    QImage shot;
    do shot = grabScreen(screen.display, dir.path("shot.png"));
    while (shot.pixel(1400, 540) != 0xFF0000FF && std::chrono::steady_clock::now() < deadline);
    ASSERT_EQ(shot.size(), QSize(1920, 1080));
    for (const auto& p : pixels) EXPECT_EQ(shot.pixel(p.x, p.y), p.colour) << p.x << ", " << p.y;

    ask("press 30 500", "sent press 30 500\n");  // on a bar: nowhere, nor its release
    ask("release 40 500", "sent release 40 500\n");
    ask("press 285 113", "sent press 285 113\n");
    ask("release 1919 0", "sent release 1919 0\n");  // kept to the picture's edge
    ASSERT_TRUE(player.waitFor("LOG: 1799000\n")) << player.err();
    EXPECT_EQ(logLines(player.err()), Lines({"ready", "100050", "6799000", "1799000"}));

    // The window's place as the X server has it, asked until it is `size` (the
    // player takes a key in its own time).
    int asked = 0;
    auto geometryBecomes = [&](const std::string& size) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            std::string tag = "geometry " + std::to_string(++asked) + " ";
            input.send(tag);
            if (!input.waitFor(tag)) return false;
            size_t at = input.err().rfind(tag) + tag.size();
            if (input.err().compare(at, size.size(), size) == 0) return true;
        }
        return false;
    };
    EXPECT_TRUE(geometryBecomes("1920x1080+0+0"));
    ask("key F11", "sent key F11\n");
    EXPECT_TRUE(geometryBecomes("1600x960+"));  // the window of a full-HD screen: twice the picture
    ask("key F11", "sent key F11\n");
    EXPECT_TRUE(geometryBecomes("1920x1080+0+0"));
    input.send("quit");
    EXPECT_EQ(input.finish(), 0);
}

}  // namespace mcb
