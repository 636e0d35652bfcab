// The two representations of a bitmap and the switches between them; every new
// picture passes the size check and then setPixmap or setImage.
#include "graphics/BitmapContainer.h"

#include "foundation/VMError.h"

#include <QBuffer>
#include <QColor>

#include <cstring>

namespace {
[[noreturn]] void tooLarge() { vmerr::raise(vmerr::InvalidArgument, "Bitmap too large"); }

const BitmapContainer* containerOf(const VMBitmap& b) { return dynamic_cast<const BitmapContainer*>(&b); }
}  // namespace

void BitmapContainer::checkSize(TInt64 width, TInt64 height) {
    constexpr TInt64 kMaxPixels = TInt64(kMaxPixelBytes / 4);
    if (width < 0 || height < 0 || width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels)
        tooLarge();
}

BitmapContainer::BitmapContainer(TInt32 width, TInt32 height) {
    checkSize(width, height);
    setPixmap(QPixmap(width, height));
}

BitmapContainer::BitmapContainer(QPixmap decoded) {
    checkSize(decoded.width(), decoded.height());
    setPixmap(std::move(decoded));
}

BitmapContainer::BitmapContainer(const BitmapContainer& other) : VMBitmap() {
    QSize s = other.size();
    checkSize(s.width(), s.height());
    if (other.hasImage()) {
        setImage(other.image_.copy());
        setPixmap(QPixmap(s));  // only its size counts while the image is current
    } else {
        setPixmap(other.pixmap_->copy());
    }
}

void BitmapContainer::setPixmap(QPixmap pixmap) {
    if (pixmap.isNull()) tooLarge();
    pixmap_ = QSharedPointer<QPixmap>::create(std::move(pixmap));
}

void BitmapContainer::setImage(QImage image) {
    if (image.isNull()) tooLarge();
    image_ = std::move(image);
}

bool BitmapContainer::encode(Vec<TUint8>& out, const char* format) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool ok = hasImage() ? image_.save(&buffer, format, -1) : pixmap_->save(&buffer, format, -1);
    if (!ok) return false;
    out.resize(TInt32(bytes.size()));
    if (!bytes.isEmpty()) std::memcpy(out.data(), bytes.constData(), size_t(bytes.size()));
    return true;
}

void BitmapContainer::scaleFrom(const VMBitmap& source, TInt32 quality) {
    const BitmapContainer* from = containerOf(source);
    if (!from || from->pixmap_->isNull()) return;
    Qt::TransformationMode mode = quality == 10 ? Qt::SmoothTransformation : Qt::FastTransformation;
    QSize to = size();
    checkSize(to.width(), to.height());
    QPixmap scaled = from->hasImage() ? QPixmap::fromImage(from->image_.scaled(to, Qt::IgnoreAspectRatio, mode))
                                      : from->pixmap_->scaled(to, Qt::IgnoreAspectRatio, mode);
    setPixmap(std::move(scaled));
    image_ = QImage();
}

void BitmapContainer::copyRegionFrom(const VMBitmap& source, const QRect& region) {
    const BitmapContainer* from = containerOf(source);
    if (!from) return;
    checkSize(region.width(), region.height());
    setPixmap(from->hasImage() ? QPixmap::fromImage(from->image_.copy(region)) : from->pixmap_->copy(region));
    image_ = QImage();
}

void BitmapContainer::fill(TUint32 colour) {
    if (qAlpha(colour) == 255) {
        // A pixmap that some surface still paints on cannot be filled: take a fresh one.
        if (hasImage() || pixmap_->paintingActive()) setPixmap(QPixmap(size()));
        image_ = QImage();
        pixmap_->fill(QColor::fromRgba(colour));
        return;
    }
    QImage image(size(), QImage::Format_ARGB32);
    image.fill(colour);
    setImage(std::move(image));
}

QImage& BitmapContainer::pixelImage() {
    if (image_.isNull()) setImage(pixmap_->toImage().convertToFormat(QImage::Format_ARGB32));
    return image_;
}

const QSharedPointer<QPixmap>& BitmapContainer::drawingPixmap() {
    if (hasImage()) {
        setPixmap(QPixmap::fromImage(image_));
        image_ = QImage();
    }
    return pixmap_;
}
