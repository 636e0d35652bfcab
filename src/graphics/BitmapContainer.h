// VMBitmap and BitmapContainer: the pixels behind a bitmap handle. They are
// kept as a pixmap for drawing and, after pixel access, as a non-premultiplied
// image; at most one of the two is current and each use switches lazily.
#pragma once

#include "foundation/Vec.h"
#include "heap/GCObject.h"
#include "foundation/MemoryBudget.h"

#include <QImage>
#include <QPixmap>
#include <QSharedPointer>

namespace mcb {

// The abstract bitmap: what the bitmap natives ask of any picture.
class VMBitmap : public GCObject {
public:
    // Replaces `out` by the picture in the named format; false (and `out`
    // unchanged) when Qt cannot write it.
    virtual bool encode(Vec<TUint8>& out, const char* format) const = 0;
    // This bitmap's picture becomes `source` scaled to this bitmap's size;
    // quality 10 is smooth, anything else fast.
    virtual void scaleFrom(const VMBitmap& source, TInt32 quality) = 0;
    // This bitmap's picture becomes a copy of `region` of `source`.
    virtual void copyRegionFrom(const VMBitmap& source, const QRect& region) = 0;
    virtual void fill(TUint32 colour) = 0;
    virtual TUint32 pixel(TInt32 x, TInt32 y) = 0;
    virtual void setPixel(TInt32 x, TInt32 y, TUint32 colour) = 0;
    virtual QSize size() const = 0;
};

class BitmapContainer final : public VMBitmap {
public:
    // Largest picture a bitmap may hold, in bytes of 32-bit pixels.
    static constexpr TUint64 kMaxPixelBytes = TUint64(256) << 20;
    // VM error 6 "Bitmap too large" unless a picture of that size may be made.
    // Every picture a bitmap takes is asked for here first.
    static void checkSize(TInt64 width, TInt64 height);
    // The size check, then a charge for that many 32-bit pixels to the
    // application's memory budget ("Out of memory" when they do not fit).
    static BudgetCharge chargeFor(TInt64 width, TInt64 height);
    static BudgetCharge chargeFor(QSize size);

    // Uninitialised pixels of that size (both above 0).
    BitmapContainer(TInt32 width, TInt32 height);
    // Takes a decoded picture.
    explicit BitmapContainer(QPixmap decoded);
    // A deep copy of whichever representation of `other` is current.
    BitmapContainer(const BitmapContainer& other);
    BitmapContainer& operator=(const BitmapContainer&) = delete;

    bool encode(Vec<TUint8>& out, const char* format) const override;
    void scaleFrom(const VMBitmap& source, TInt32 quality) override;
    void copyRegionFrom(const VMBitmap& source, const QRect& region) override;
    // Opaque colours fill the pixmap; translucent ones store the raw value in the image.
    void fill(TUint32 colour) override;
    TUint32 pixel(TInt32 x, TInt32 y) override { return pixelImage().pixel(x, y); }
    void setPixel(TInt32 x, TInt32 y, TUint32 colour) override { pixelImage().setPixel(x, y, colour); }
    QSize size() const override { return pixmap_->size(); }

    // The pixmap for drawing (as a source or as a target): pending pixel edits
    // go back into a new pixmap first.
    const QSharedPointer<QPixmap>& drawingPixmap();
    // The pixmap as it stands, without switching.
    const QSharedPointer<QPixmap>& currentPixmap() const { return pixmap_; }
    bool hasImage() const { return !image_.isNull(); }
    // A copy of the picture as it stands, in ARGB32, without switching.
    QImage picture() const { return currentImage().convertToFormat(QImage::Format_ARGB32); }

private:
    // The two places a container takes new pixels: a null picture (Qt could not
    // allocate it) is "Bitmap too large" and leaves the container as it was.
    void setPixmap(QPixmap pixmap, BudgetCharge charge);
    void setImage(QImage image, BudgetCharge charge);
    void dropImage();
    QImage& pixelImage();
    // The current representation as an image (shared, not converted).
    QImage currentImage() const { return hasImage() ? image_ : pixmap_->toImage(); }

    QSharedPointer<QPixmap> pixmap_;
    QImage image_;
    BudgetCharge pixmapCharge_;  // what each representation costs the budget
    BudgetCharge imageCharge_;
};

}  // namespace mcb
