// GraphicsContainer: a painter on a pixmap, held in the VM heap as the surface
// behind a graphics handle, and the drawing operations of the natives. The
// canvas surface paints on the main view's back buffer and only for the length
// of one paint event; a bitmap's surface paints on the bitmap's pixmap.
#pragma once

#include "heap/GCObject.h"

#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QSharedPointer>

namespace mcb {

class BitmapContainer;

// A rectangle as bytecode gives it: x + width may lie past the int range.
struct VMRect {
    TInt32 x, y, width, height;
};

class GraphicsContainer final : public GCObject {
public:
    // Paints directly on `device` (the back buffer), which must outlive the painting.
    explicit GraphicsContainer(QPixmap* device);
    // Paints on a pixmap, which it keeps alive while painting.
    explicit GraphicsContainer(QSharedPointer<QPixmap> pixmap);
    // Paints on a bitmap's pixmap (switched to drawing first); a bitmap without
    // area is VM error 10 "GraphicsContainer: invalid bitmap".
    explicit GraphicsContainer(BitmapContainer& bitmap);
    ~GraphicsContainer() override { endPainting(); }
    GraphicsContainer(const GraphicsContainer&) = delete;
    GraphicsContainer& operator=(const GraphicsContainer&) = delete;

    // After this every drawing operation does nothing.
    void endPainting();
    bool isPainting() const { return device_ != nullptr && painter_.isActive(); }
    QPainter& painter() { return painter_; }
    // Whether this surface paints on that very pixmap.
    bool paintsOn(const QSharedPointer<QPixmap>& pixmap) const { return device_ && pixmapOwner_ == pixmap; }

    void setClipRegion(const QRegion& region);
    void clear(TUint32 colour);
    void fillRect(TInt32 x, TInt32 y, TInt32 width, TInt32 height, TUint32 colour);
    void drawLine(TInt32 x1, TInt32 y1, TInt32 x2, TInt32 y2, TUint32 colour);

    // Bitmaps drawn at `alpha` (0 to 255) opacity. A null bitmap draws nothing
    // and warns "Null BitmapContainer" (through warnNullBitmap).
    static void warnNullBitmap();
    // The `source` rectangle of the bitmap at `at`, the same size; only its
    // part inside the bitmap is drawn.
    void drawBitmap(BitmapContainer* bitmap, const VMRect& source, QPoint at, TInt32 alpha);
    void drawBitmapAt(BitmapContainer* bitmap, QPoint at, TInt32 alpha);
    // Tiles `target` so that the bitmap's (0, 0) falls on target's corner plus `offset`.
    void drawTiled(BitmapContainer* bitmap, const VMRect& target, QPoint offset);
    // Centred on `at`, turned counter-clockwise by `angle` radians (divided by
    // 3.141, not pi, as compiled applications expect) and scaled.
    void drawTransformed(BitmapContainer* bitmap, QPoint at, double angle, double scaleX, double scaleY,
                         TInt32 alpha);

private:
    void begin();
    // The pixmap to draw from, or null when nothing is to be drawn.
    const QPixmap* sourceOf(BitmapContainer* bitmap);
    void setOpacity(TInt32 alpha);
    template <typename Draw>
    void withOpacity(TInt32 alpha, Draw draw);

    QPixmap* device_ = nullptr;
    QPainter painter_;
    QSharedPointer<QPixmap> pixmapOwner_;
};

}  // namespace mcb
