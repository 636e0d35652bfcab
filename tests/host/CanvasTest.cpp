// The canvas: a surface on the back buffer behind a three-word handle that
// bytecode may scribble on, painting only until the paint ends.
#include "HostTestSupport.h"

#include "graphics/GraphicsContainer.h"
#include "graphics/GraphicsHandle.h"
#include "vm/VirtualMachine.h"

#include <QImage>
#include <gtest/gtest.h>

TEST(Canvas, PaintsOnTheBufferWithinItsClipUntilPaintingEnds) {
    hosttest::ensureQtApp();
    QPixmap buffer(20, 10);
    buffer.fill(Qt::black);
    VirtualMachine vm;
    VMAddr surface = graphics::newCanvasSurface(vm.heap(), &buffer);
    VMAddr handle = graphics::newCanvasHandle(vm.heap(), surface);
    EXPECT_EQ(graphics::kindOf(vm.heap(), handle), graphics::CanvasHandle);
    GraphicsContainer* canvas = graphics::surfaceOf(vm.heap(), handle);
    ASSERT_NE(canvas, nullptr);
    EXPECT_TRUE(canvas->isPainting());
    EXPECT_EQ(canvas->painter().font().pixelSize(), 40);
    canvas->setClipRegion(QRegion(0, 0, 10, 10));
    canvas->clear(0xFFFF0000);
    canvas->endPainting();
    canvas->clear(0xFF00FF00);  // after the paint: nothing happens
    QImage image = buffer.toImage();
    EXPECT_EQ(image.pixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(15, 5), 0xFF000000u);
}

TEST(Canvas, ScribbledHandlesAreRefusedNotFollowed) {
    hosttest::ensureQtApp();
    QPixmap buffer(4, 4);
    VirtualMachine vm;
    VMAddr handle = graphics::newCanvasHandle(vm.heap(), graphics::newCanvasSurface(vm.heap(), &buffer));
    vm.memory().writeWord(handle, 3);
    hosttest::expectRaises(vmerr::VM, "VMException: Invalid object type ID", [&] { graphics::surfaceOf(vm.heap(), handle); });
    vm.memory().writeWord(handle, 1);
    vm.memory().writeWord(handle + 4, vm.newString(OString("not a surface")));
    hosttest::expectRaises(vmerr::VM, "VMException: Invalid TYPEID", [&] { graphics::surfaceOf(vm.heap(), handle); });
    vm.memory().writeWord(handle + 4, 0);
    EXPECT_EQ(graphics::surfaceOf(vm.heap(), handle), nullptr);
    hosttest::expectRaises(vmerr::NullPointer, "NullPointerException: NULL pointer", [&] { graphics::kindOf(vm.heap(), 0); });
}

TEST(Canvas, ANullBufferGivesAnInertSurface) {
    hosttest::ensureQtApp();
    QPixmap none;
    GraphicsContainer canvas(&none);
    EXPECT_FALSE(canvas.isPainting());
    canvas.fillRect(0, 0, 1, 1, 0xFFFFFFFF);  // nothing to paint on, nothing happens
}
