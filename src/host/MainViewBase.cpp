// Back buffer, painting through the application's draw method, repaint requests.
#include "host/MainViewBase.h"

#include "graphics/GraphicsContainer.h"
#include "graphics/GraphicsHandle.h"
#include "host/HostProcess.h"
#include "vm/VirtualMachine.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

MainViewBase::MainViewBase() : QWidget(nullptr) {}

// The picture is turned a quarter counter-clockwise onto the widget: its
// point (x, y) appears at (y, H - x).
QRect MainViewBase::applicationToWidget(const QRect& r, int widgetHeight) {
    return QRect(r.y(), widgetHeight - r.x() - r.width(), r.height(), r.width());
}

QRect MainViewBase::widgetToApplication(const QRect& r, int widgetHeight) {
    return QRect(widgetHeight - r.y() - r.height(), r.x(), r.height(), r.width());
}

void MainViewBase::repaintRect(TInt32 x, TInt32 y, TInt32 width, TInt32 height) {
    QRect r(x, y, width, height);
    update(isRotatedPortrait() ? applicationToWidget(r, this->height()) : r);
}

void MainViewBase::resizeEvent(QResizeEvent*) { fitBackBuffer(); }

// A portrait picture in a landscape window needs a portrait buffer, or its
// lower part would have nowhere to go.
void MainViewBase::fitBackBuffer() {
    if (backBuffer.paintingActive()) {  // the application changed orientation while drawing
        refitAfterPaint = true;
        return;
    }
    QSize want = isRotatedPortrait() ? size().transposed() : size();
    if (backBuffer.size() != want) backBuffer = QPixmap(want);
}

void MainViewBase::paintEvent(QPaintEvent* e) {
    if (!VirtualMachine::current()) return;
    QRegion region = e->region();
    if (isRotatedPortrait()) region = widgetToApplication(region.boundingRect(), height());
    drawApplication(region);
    if (refitAfterPaint) {
        refitAfterPaint = false;
        fitBackBuffer();
        update();
    }
    QPainter p(this);
    p.setClipRegion(e->region());
    if (isRotatedPortrait()) {
        p.translate(0, height());
        p.rotate(-90);
    }
    p.drawPixmap(0, 0, backBuffer);
}

// The canvas lives for this one paint: its painter ends as soon as the
// application has drawn, so the buffer is free to be shown and replaced.
void MainViewBase::drawApplication(const QRegion& region) {
    VirtualMachine* vm = VirtualMachine::current();
    host::callVm([&] {
        VMHeap& heap = vm->heap();
        VMAddr surface = graphics::newCanvasSurface(heap, &backBuffer);
        GraphicsContainer* canvas = heap.objectAs<GraphicsContainer>(surface);
        canvas->setClipRegion(region);
        VMAddr handle = graphics::newCanvasHandle(heap, surface);
        heap.addRoot(handle);
        struct EndOfPaint {
            VMHeap& heap;
            GraphicsContainer* canvas;
            VMAddr handle;
            ~EndOfPaint() {
                canvas->endPainting();
                heap.removeRoot(handle);
            }
        } end{heap, canvas, handle};
        vm->draw(handle);
    });
}
