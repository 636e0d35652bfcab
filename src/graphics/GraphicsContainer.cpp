// The drawing surface: painter set-up shared by canvas and bitmap surfaces,
// and the drawing operations of the natives.
#include "graphics/GraphicsContainer.h"

#include "foundation/VMError.h"
#include "graphics/BitmapContainer.h"

#include <QColor>
#include <QFont>
#include <QPen>
#include <QtDebug>

#include <algorithm>

namespace mcb {

namespace {
QColor colourOf(TUint32 argb) { return QColor::fromRgba(QRgb(argb)); }

// Qt keeps rectangles as int corners: an edge of (x, w) past the int range
// would overflow there. Such an edge is pulled in to a bound no picture
// reaches, which keeps every pixel it covered.
constexpr TInt64 kFar = TInt64(1) << 28;
void clampEdge(TInt32& start, TInt32& length) {
    TInt64 end = TInt64(start) + length;
    if (start >= -kFar && start <= kFar && end >= -kFar && end <= kFar) return;
    TInt64 s = std::clamp<TInt64>(start, -kFar, kFar), e = std::clamp<TInt64>(end, -kFar, kFar);
    start = TInt32(s);
    length = TInt32(e - s);
}

QRect safeRect(VMRect r) {
    clampEdge(r.x, r.width);
    clampEdge(r.y, r.height);
    return QRect(r.x, r.y, r.width, r.height);
}

// The tile column drawn at `corner` when the tile's 0 lies at `zero`.
TInt32 tilePhase(TInt64 corner, TInt64 zero, TInt32 tile) { return TInt32(((corner - zero) % tile + tile) % tile); }
}  // namespace

GraphicsContainer::GraphicsContainer(QPixmap* device) : device_(device) { begin(); }

GraphicsContainer::GraphicsContainer(QSharedPointer<QPixmap> pixmap)
    : device_(pixmap.data()), pixmapOwner_(std::move(pixmap)) {
    begin();
}

GraphicsContainer::GraphicsContainer(BitmapContainer& bitmap) {
    if (bitmap.size().isEmpty()) vmerr::raise(vmerr::msg::InvalidContainerBitmap);
    pixmapOwner_ = bitmap.drawingPixmap();
    device_ = pixmapOwner_.data();
    begin();
}

// A null pixmap cannot be painted on; the surface then stays inert.
void GraphicsContainer::begin() {
    if (!device_ || device_->isNull()) {
        device_ = nullptr;
        pixmapOwner_.reset();
        return;
    }
    painter_.begin(device_);
    QFont font = painter_.font();
    font.setPixelSize(40);
    painter_.setFont(font);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_.setRenderHint(QPainter::Antialiasing, false);
}

void GraphicsContainer::endPainting() {
    if (!device_) return;
    if (painter_.isActive()) painter_.end();
    device_ = nullptr;
    pixmapOwner_.reset();
}

void GraphicsContainer::setClipRegion(const QRegion& region) {
    if (isPainting()) painter_.setClipRegion(region, Qt::ReplaceClip);
}

void GraphicsContainer::clear(TUint32 colour) { fillRect(0, 0, 32768, 32768, colour); }

void GraphicsContainer::fillRect(TInt32 x, TInt32 y, TInt32 width, TInt32 height, TUint32 colour) {
    clampEdge(x, width);
    clampEdge(y, height);
    if (isPainting()) painter_.fillRect(x, y, width, height, colourOf(colour));
}

void GraphicsContainer::drawLine(TInt32 x1, TInt32 y1, TInt32 x2, TInt32 y2, TUint32 colour) {
    if (!isPainting()) return;
    painter_.setPen(QPen(colourOf(colour)));
    painter_.drawLine(x1, y1, x2, y2);
}

void GraphicsContainer::warnNullBitmap() { qWarning("Null BitmapContainer"); }

const QPixmap* GraphicsContainer::sourceOf(BitmapContainer* bitmap) {
    if (!bitmap) {
        warnNullBitmap();
        return nullptr;
    }
    if (!isPainting()) return nullptr;
    return bitmap->drawingPixmap().data();
}

void GraphicsContainer::setOpacity(TInt32 alpha) {
    if (alpha != 255) painter_.setOpacity(alpha / 255.0);
}

// Saving the painter's state costs more than drawing a small bitmap: only a
// changed opacity needs it.
template <typename Draw>
void GraphicsContainer::withOpacity(TInt32 alpha, Draw draw) {
    if (alpha == 255) return draw();
    painter_.save();
    setOpacity(alpha);
    draw();
    painter_.restore();
}

void GraphicsContainer::drawBitmap(BitmapContainer* bitmap, const VMRect& source, QPoint at, TInt32 alpha) {
    const QPixmap* pixmap = sourceOf(bitmap);
    if (!pixmap) return;
    // Only the part of the source inside the bitmap, shifted as far as it was cut.
    QRect inside = safeRect(source).intersected(pixmap->rect());
    if (inside.isEmpty()) return;
    QPointF to(double(at.x()) + inside.x() - source.x, double(at.y()) + inside.y() - source.y);
    withOpacity(alpha, [&] { painter_.drawPixmap(to, *pixmap, inside); });
}

void GraphicsContainer::drawBitmapAt(BitmapContainer* bitmap, QPoint at, TInt32 alpha) {
    const QPixmap* pixmap = sourceOf(bitmap);
    if (!pixmap) return;
    withOpacity(alpha, [&] { painter_.drawPixmap(at, *pixmap); });
}

// Qt takes the tile point drawn at the corner: the negated offset, here
// reduced to one tile (and kept when the corner was pulled in).
void GraphicsContainer::drawTiled(BitmapContainer* bitmap, const VMRect& target, QPoint offset) {
    const QPixmap* pixmap = sourceOf(bitmap);
    if (!pixmap) return;
    QRect r = safeRect(target);
    QPoint start(tilePhase(r.x(), TInt64(target.x) + offset.x(), pixmap->width()),
                 tilePhase(r.y(), TInt64(target.y) + offset.y(), pixmap->height()));
    painter_.drawTiledPixmap(r, *pixmap, start);
}

void GraphicsContainer::drawTransformed(BitmapContainer* bitmap, QPoint at, double angle, double scaleX,
                                        double scaleY, TInt32 alpha) {
    const QPixmap* pixmap = sourceOf(bitmap);
    if (!pixmap) return;
    painter_.save();
    setOpacity(alpha);
    painter_.translate(at);
    painter_.rotate(-(angle * 180 / 3.141));
    painter_.scale(scaleX, scaleY);
    painter_.translate(-pixmap->width() / 2.0, -pixmap->height() / 2.0);
    painter_.drawPixmap(0, 0, *pixmap);
    painter_.restore();
}

}  // namespace mcb
