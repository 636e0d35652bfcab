// Building a bitmap font from its image, its measures and its drawing.
#include "graphics/VelmarFont.h"

#include "graphics/BitmapContainer.h"
#include "graphics/GraphicsContainer.h"

#include <climits>

namespace mcb {

namespace {
TUint8 coverage(QRgb pixel) { return TUint8(pixel & 0xFF); }
}  // namespace

// The coverage copy, its glyph table and, while they are read, the 32-bit copy
// of the source are charged to the budget before they are made.
VelmarFont::VelmarFont(const QImage& source) {
    if (source.isNull()) return;
    const TUint64 w = TUint64(source.width()), h = TUint64(source.height());
    BudgetCharge argbCharge = BitmapContainer::chargeFor(source.size());
    coverageCharge_ = BudgetCharge(((w + 3) & ~TUint64(3)) * h + w * sizeof(CharData));
    pixelData_ = QImage(source.size(), QImage::Format_Indexed8);
    if (pixelData_.isNull()) return;
    QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    height_ = argb.height() - 1;
    pixelData_.fill(0);
    copyCoverage(argb);
    while (ascent_ < height_ && coverage(argb.pixel(0, ascent_)) != 0) ++ascent_;
    findGlyphs(argb);
}

void VelmarFont::copyCoverage(const QImage& argb) {
    for (int y = 0; y < height_; ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* to = pixelData_.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) to[x] = coverage(from[x]);
    }
}

// Each marked column of the last row ends one glyph and starts the next; the
// first glyph starts at column 1 (a mark there gives it no width).
void VelmarFont::findGlyphs(const QImage& argb) {
    const QRgb* marks = reinterpret_cast<const QRgb*>(argb.constScanLine(height_));
    int start = 1;
    for (int x = 1; x < argb.width(); ++x) {
        if (coverage(marks[x]) == 0) continue;
        glyphs_.append({start, x - start});
        start = x;
    }
}

TInt32 VelmarFont::stringWidth(const OString& s, TInt32 first, TInt32 count) const {
    TInt64 sum = 0;
    for (TInt32 i = 0; i < count; ++i) sum += charWidth(s.data()[first + i]);
    return TInt32(TUint32(TUint64(sum)));
}

TInt32 VelmarFont::charsThatFit(const OString& s, TInt32 first, TInt32 count, TInt32 maxWidth) const {
    TInt64 sum = 0;
    for (TInt32 i = 0; i < count; ++i) {
        sum += charWidth(s.data()[first + i]);
        if (sum > maxWidth) return i;
    }
    return count;
}

// Coverage becomes the alpha of the opaque colour; rebuilt only when that changes.
void VelmarFont::colourFor(TUint32 colour) {
    colour |= 0xFF000000u;
    if (colour == color_ && !pixelData_.colorTable().isEmpty()) return;
    if (pixmapCharge_.bytes() == 0) pixmapCharge_ = BitmapContainer::chargeFor(pixelData_.size());
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i) table[i] = qRgba(qRed(colour), qGreen(colour), qBlue(colour), i);
    pixelData_.setColorTable(table);
    color_ = colour;
    pixmap_ = QPixmap::fromImage(pixelData_);
    ++colourings_;
}

void VelmarFont::draw(GraphicsContainer& surface, const OString& s, TInt32 first, TInt32 count, QPoint at,
                      TUint32 colour) {
    if (!surface.isPainting() || glyphs_.isEmpty() || count <= 0) return;
    colourFor(colour);
    QPainter& p = surface.painter();
    // Only the opacity changes the painter's state; saving it costs more than a glyph.
    const bool translucent = qAlpha(colour) != 255;
    if (translucent) {
        p.save();
        p.setOpacity(qAlpha(colour) / 255.0);
    }
    // Text runs unscaled from x = 0 to the device's width: glyphs outside it are
    // only counted, so a long string costs no drawing.
    const TInt64 right = p.device() ? p.device()->width() : INT_MAX;
    TInt64 penX = at.x();
    for (TInt32 i = 0; i < count && penX < right; ++i) {
        TInt32 k = TInt32(s.data()[first + i]) - 32;
        if (k < 0 || k >= glyphs_.size() || glyphs_.data()[k].width == 0) continue;
        const CharData& g = glyphs_.data()[k];
        if (penX + g.width > 0) p.drawPixmap(QPoint(int(penX), at.y()), pixmap_, QRect(g.x, 0, g.width, height_));
        penX += g.width;
    }
    if (translucent) p.restore();
}

}  // namespace mcb
