// The two representations of a bitmap and the switches between them; every new
// picture is charged to the application's memory budget (which checks its size)
// before it is made, then taken by setPixmap or setImage.
#include "graphics/BitmapContainer.h"

#include "foundation/VMError.h"

#include <QBuffer>
#include <QColor>

#include <cstring>

namespace mcb {

namespace {
[[noreturn]] void tooLarge() { vmerr::raise(vmerr::msg::BitmapTooLarge); }

const BitmapContainer* containerOf(const VMBitmap& b) { return dynamic_cast<const BitmapContainer*>(&b); }
}  // namespace

void BitmapContainer::checkSize(TInt64 width, TInt64 height) {
    constexpr TInt64 kMaxPixels = TInt64(kMaxPixelBytes / 4);
    if (width < 0 || height < 0 || width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels)
        tooLarge();
}

BudgetCharge BitmapContainer::chargeFor(TInt64 width, TInt64 height) {
    checkSize(width, height);
    return BudgetCharge(TUint64(width) * TUint64(height) * 4);
}

BudgetCharge BitmapContainer::chargeFor(QSize size) { return chargeFor(size.width(), size.height()); }

BitmapContainer::BitmapContainer(TInt32 width, TInt32 height) {
    BudgetCharge charge = chargeFor(width, height);
    setPixmap(QPixmap(width, height), std::move(charge));
}

BitmapContainer::BitmapContainer(QPixmap decoded) {
    BudgetCharge charge = chargeFor(decoded.size());
    setPixmap(std::move(decoded), std::move(charge));
}

BitmapContainer::BitmapContainer(const BitmapContainer& other) : VMBitmap() {
    QSize s = other.size();
    BudgetCharge charge = chargeFor(s);
    if (other.hasImage()) {
        BudgetCharge imageCharge = chargeFor(s);
        setImage(other.image_.copy(), std::move(imageCharge));
        setPixmap(QPixmap(s), std::move(charge));  // only its size counts while the image is current
    } else {
        setPixmap(other.pixmap_->copy(), std::move(charge));
    }
}

void BitmapContainer::setPixmap(QPixmap pixmap, BudgetCharge charge) {
    if (pixmap.isNull()) tooLarge();
    pixmap_ = QSharedPointer<QPixmap>::create(std::move(pixmap));
    pixmapCharge_ = std::move(charge);
}

void BitmapContainer::setImage(QImage image, BudgetCharge charge) {
    if (image.isNull()) tooLarge();
    image_ = std::move(image);
    imageCharge_ = std::move(charge);
}

void BitmapContainer::dropImage() {
    image_ = QImage();
    imageCharge_.reset();
}

// The encoder's copy of the pixels and its growing output are charged while it works.
bool BitmapContainer::encode(Vec<TUint8>& out, const char* format) const {
    const QSize s = size();
    BudgetCharge working(TUint64(s.width()) * TUint64(s.height()) * 4 * 2);
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
    BudgetCharge charge = chargeFor(to);
    QPixmap scaled = from->hasImage() ? QPixmap::fromImage(from->image_.scaled(to, Qt::IgnoreAspectRatio, mode))
                                      : from->pixmap_->scaled(to, Qt::IgnoreAspectRatio, mode);
    setPixmap(std::move(scaled), std::move(charge));
    dropImage();
}

void BitmapContainer::copyRegionFrom(const VMBitmap& source, const QRect& region) {
    const BitmapContainer* from = containerOf(source);
    if (!from) return;
    BudgetCharge charge = chargeFor(region.size());
    setPixmap(from->hasImage() ? QPixmap::fromImage(from->image_.copy(region)) : from->pixmap_->copy(region),
              std::move(charge));
    dropImage();
}

void BitmapContainer::fill(TUint32 colour) {
    if (qAlpha(colour) == 255) {
        // A pixmap that some surface still paints on cannot be filled: take a fresh one.
        if (hasImage() || pixmap_->paintingActive()) {
            BudgetCharge charge = chargeFor(size());
            setPixmap(QPixmap(size()), std::move(charge));
        }
        dropImage();
        pixmap_->fill(QColor::fromRgba(colour));
        return;
    }
    BudgetCharge charge = chargeFor(size());
    QImage image(size(), QImage::Format_ARGB32);
    image.fill(colour);
    setImage(std::move(image), std::move(charge));
}

QImage& BitmapContainer::pixelImage() {
    if (image_.isNull()) {
        BudgetCharge charge = chargeFor(size());
        setImage(pixmap_->toImage().convertToFormat(QImage::Format_ARGB32), std::move(charge));
    }
    return image_;
}

const QSharedPointer<QPixmap>& BitmapContainer::drawingPixmap() {
    if (hasImage()) {
        BudgetCharge charge = chargeFor(size());
        setPixmap(QPixmap::fromImage(image_), std::move(charge));
        dropImage();
    }
    return pixmap_;
}

}  // namespace mcb
