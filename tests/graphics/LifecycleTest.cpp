// Bitmaps and their surfaces under the collector, and the picture on the real
// main view in rotated portrait.
#include "GraphicsTestSupport.h"

#include "host/MainView.h"

#include <QWeakPointer>

namespace mcb {

using namespace gfxtest;

namespace {
// Watches the handle in global g, then its surface and its container.
std::string watch(int g) {
    std::string handle = "@load " + std::to_string(g) + "\n";
    return handle + "extcall 20, 1\n" + handle + "fielda 1\nderef\nextcall 20, 1\n" + handle +
           "fielda 2\nderef\nextcall 20, 1\n";
}
}  // namespace

TEST(Lifecycle, BitmapsLiveByTheirHandlesAndDieWithTheirPaintingEnded) {
    QWeakPointer<QPixmap> dropped, kept;
    NativeProgram p(bitmap(2, 8, 8, kBlack) + call("Graphics.fill_rect", {G(2), 0, 0, 1, 1, kRed}) +
                        bitmap(3, 8, 8, kBlack) + call("Graphics.fill_rect", {G(3), 0, 0, 1, 1, kRed}) + watch(2) +
                        watch(3) + "extcall 20, 99\nadjsp -1\npush 0\n@store 3\nextcall 20, 2\n" +
                        call("Graphics.fill_rect", {G(2), 1, 1, 1, 1, kRed}) +
                        callTo(10, "Bitmap.pixel", {G(2), 1, 1}) + callTo(11, "Bitmap.pixel", {G(2), 0, 0}),
                    "", [&](NativeProgram& q) {
                        q.handOver = [&] {
                            kept = containerIn(q, 2)->currentPixmap();
                            dropped = containerIn(q, 3)->currentPixmap();
                            return 0;
                        };
                    });
    ASSERT_EQ(errorOf(p), "0: ");
    ASSERT_EQ(p.alive.size(), 1u);
    EXPECT_EQ(p.alive[0], std::vector<bool>({true, true, true, false, false, false}));
    EXPECT_TRUE(dropped.isNull());  // its surface ended painting and let go of it
    EXPECT_FALSE(kept.isNull());
    EXPECT_EQ(p.word(10), kRed);
    EXPECT_EQ(p.word(11), kRed);
}

TEST(Lifecycle, RotatedPortraitShowsTheApplicationsCornerAtTheBottomLeft) {
    ScratchFiles dir;
    const Arg slot = Arg("ldloca -2\n");  // the canvas handle's slot
    dir.put("index.mcb", mcbasm::assemble(R"(
.method "main", main, frame0
.method "<*application>.draw to<canvas>", draw, frame2
.class App
.descriptor frame0
.descriptor frame2
    .lengths 2, 0, 0
    .refs 0
.code
main:
    alloc 1, 1
    dup
    setclass App
    native System.set_application
    ret 0, 1
draw:
)" + call("Graphics.fill_rect", {slot, 0, 0, 800, 800, kBlack}) +
                                          call("Graphics.fill_rect", {slot, 0, 0, 10, 10, kRed}) + "ret 0, 3\n"));
    {
        MainView view(dir.root());
        view.resize(800, 480);
        view.start();
        view.setOrientation(1);
        view.show();
        QApplication::processEvents();
        ASSERT_TRUE(view.isRotatedPortrait());
        QImage grab = view.grab().toImage();
        ASSERT_EQ(grab.size(), QSize(800, 480));
        for (int x = 0; x < 10; ++x)
            for (int y = 470; y < 480; ++y) EXPECT_EQ(grab.pixel(x, y), kRed) << x << ", " << y;
        EXPECT_EQ(grab.pixel(10, 475), kBlack);
        EXPECT_EQ(grab.pixel(5, 469), kBlack);
    }
    VirtualMachine::destroyCurrent();
}

}  // namespace mcb
