// The drawing surface: painter set-up shared by canvas and bitmap surfaces,
// and the plain drawing operations.
#include "graphics/GraphicsContainer.h"

#include <QColor>
#include <QFont>
#include <QPen>

namespace {
QColor colourOf(TUint32 argb) { return QColor::fromRgba(QRgb(argb)); }
}  // namespace

GraphicsContainer::GraphicsContainer(QPixmap* device) : device_(device) { begin(); }

GraphicsContainer::GraphicsContainer(QSharedPointer<QPixmap> pixmap)
    : device_(pixmap.data()), pixmapOwner_(std::move(pixmap)) {
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
    if (isPainting()) painter_.fillRect(x, y, width, height, colourOf(colour));
}

void GraphicsContainer::drawLine(TInt32 x1, TInt32 y1, TInt32 x2, TInt32 y2, TUint32 colour) {
    if (!isPainting()) return;
    painter_.setPen(QPen(colourOf(colour)));
    painter_.drawLine(x1, y1, x2, y2);
}
