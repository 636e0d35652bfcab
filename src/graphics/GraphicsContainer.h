// GraphicsContainer: a painter on a pixmap, held in the VM heap as the surface
// behind a graphics handle. The canvas surface paints on the main view's back
// buffer and only for the length of one paint event.
#pragma once

#include "heap/GCObject.h"

#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QSharedPointer>

class GraphicsContainer : public GCObject {
public:
    // Paints directly on `device` (the back buffer), which must outlive the painting.
    explicit GraphicsContainer(QPixmap* device);
    // Paints on a bitmap's pixmap, which it keeps alive while painting.
    explicit GraphicsContainer(QSharedPointer<QPixmap> pixmap);
    ~GraphicsContainer() override { endPainting(); }
    GraphicsContainer(const GraphicsContainer&) = delete;
    GraphicsContainer& operator=(const GraphicsContainer&) = delete;

    // After this every drawing operation does nothing.
    void endPainting();
    bool isPainting() const { return device_ != nullptr && painter_.isActive(); }
    QPainter& painter() { return painter_; }

    void setClipRegion(const QRegion& region);
    void clear(TUint32 colour);
    void fillRect(TInt32 x, TInt32 y, TInt32 width, TInt32 height, TUint32 colour);
    void drawLine(TInt32 x1, TInt32 y1, TInt32 x2, TInt32 y2, TUint32 colour);

private:
    void begin();

    QPixmap* device_ = nullptr;
    QPainter painter_;
    QSharedPointer<QPixmap> pixmapOwner_;
};
