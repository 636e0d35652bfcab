// Back buffer, painting through the application's draw method, presentation
// in the window, repaint requests.
#include "host/MainViewBase.h"

#include "graphics/GraphicsContainer.h"
#include "graphics/GraphicsHandle.h"
#include "host/HostProcess.h"
#include "host/ViewGeometry.h"
#include "vm/VirtualMachine.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

namespace mcb {

MainViewBase::MainViewBase() : QWidget(nullptr) {}

// The picture is turned a quarter counter-clockwise: its point (x, y)
// appears at (y, H - x).
QRect MainViewBase::applicationToWidget(const QRect& r, int shownHeight) {
    return QRect(r.y(), shownHeight - r.x() - r.width(), r.height(), r.width());
}

QRect MainViewBase::widgetToApplication(const QRect& r, int shownHeight) {
    return QRect(shownHeight - r.y() - r.height(), r.x(), r.height(), r.width());
}

void MainViewBase::setPresentation(int factor, bool smooth) {
    factor_ = factor;
    smooth_ = smooth;
    update();
}

QSize MainViewBase::shownSize() const {
    QSize picture = requestedOrientation() == 1 ? QSize(480, 800) : QSize(800, 480);
    return isRotatedPortrait() ? picture.transposed() : picture;
}

QRectF MainViewBase::placement() const { return view::placement(size(), shownSize(), factor_, devicePixelRatioF()); }

// The request's words come from bytecode: its edges are clipped to the picture
// in 64 bits before any rectangle is made of them.
void MainViewBase::repaintRect(TInt32 x, TInt32 y, TInt32 width, TInt32 height) {
    const QSize picture = backBuffer.isNull() ? QSize(800, 480) : backBuffer.size();
    const TInt64 left = std::max<TInt64>(x, 0), top = std::max<TInt64>(y, 0);
    const TInt64 right = std::min<TInt64>(TInt64(x) + width, picture.width());
    const TInt64 bottom = std::min<TInt64>(TInt64(y) + height, picture.height());
    if (left >= right || top >= bottom) return;
    const QRect r(int(left), int(top), int(right - left), int(bottom - top));
    if (stepped_) {
        requested_ += r;
        return;
    }
    updateShown(isRotatedPortrait() ? applicationToWidget(r, shownSize().height()) : r);
}

void MainViewBase::requestWholePicture() {
    if (stepped_) requested_ = QRect(QPoint(0, 0), backBuffer.size());
    else update();
}

void MainViewBase::updateShown(const QRect& shown) {
    QRect r = view::toWindow(shown, placement(), shownSize());
    update(smooth_ ? r.adjusted(-1, -1, 1, 1) : r);  // filtering reaches one pixel further
}

void MainViewBase::resizeEvent(QResizeEvent*) { fitBackBuffer(); }

// The buffer is the application's picture, whatever the window's size; a new
// one starts black, so that every run shows the same pixels where nothing was drawn.
void MainViewBase::fitBackBuffer() {
    if (backBuffer.paintingActive()) {  // the application changed orientation while drawing
        refitAfterPaint = true;
        return;
    }
    QSize want = requestedOrientation() == 1 ? QSize(480, 800) : QSize(800, 480);
    if (backBuffer.size() == want) return;
    backBuffer = QPixmap(want);
    backBuffer.fill(Qt::black);
}

QRegion MainViewBase::applicationRegion(const QRegion& windowRegion) const {
    QRegion out;
    const QSize shown = shownSize();
    for (const QRect& r : windowRegion) {
        QRect s = view::toPictureRect(r, placement(), shown);
        if (!s.isEmpty()) out += isRotatedPortrait() ? widgetToApplication(s, shown.height()) : s;
    }
    return out;
}

void MainViewBase::paintEvent(QPaintEvent* e) {
    if (!VirtualMachine::current()) return;
    if (backBuffer.isNull()) fitBackBuffer();
    if (!stepped_) {
        QRegion region = applicationRegion(e->region());
        if (!region.isEmpty()) drawApplication(region);
    }
    present(e->region());
}

void MainViewBase::drawRequestedFrame() {
    if (requested_.isEmpty() || !VirtualMachine::current()) return;
    if (backBuffer.isNull()) fitBackBuffer();
    QRegion region = std::exchange(requested_, QRegion());
    drawApplication(region);
    for (const QRect& r : region)
        updateShown(isRotatedPortrait() ? applicationToWidget(r, shownSize().height()) : r);
}

// Bars first, then the picture: scaled, and turned in rotated portrait.
void MainViewBase::present(const QRegion& windowRegion) {
    QPainter p(this);
    p.setClipRegion(windowRegion);
    const QRectF placed = placement();
    const QSize shown = shownSize();
    for (const QRect& bar : QRegion(rect()) - QRegion(placed.toAlignedRect())) p.fillRect(bar, Qt::black);
    if (placed.isEmpty()) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth_);
    p.translate(placed.topLeft());
    p.scale(placed.width() / shown.width(), placed.height() / shown.height());
    if (isRotatedPortrait()) {
        p.translate(0, shown.height());
        p.rotate(-90);
    }
    p.drawPixmap(0, 0, backBuffer);
}

// The canvas lives for this one paint: its painter ends as soon as the
// application has drawn, so the buffer is free to be shown and replaced.
void MainViewBase::drawApplication(const QRegion& region) {
    if (host::ending()) return;  // a message box shows the end; nothing runs any more
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
    if (refitAfterPaint) {
        refitAfterPaint = false;
        fitBackBuffer();
        requestWholePicture();
    }
    frameDrawn();
}

}  // namespace mcb
