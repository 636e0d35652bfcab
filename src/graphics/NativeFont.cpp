// The platform font: measures by QFontMetrics, text drawn left and top aligned.
#include "graphics/NativeFont.h"

#include "graphics/GraphicsContainer.h"
#include "foundation/MemoryBudget.h"
#include "heap/VMHeap.h"

namespace mcb {

namespace {
// What Qt's layout of a text holds per character (glyphs, advances, offsets,
// clusters, shaping buffers): charged while it runs, so that a long string
// cannot make Qt take host memory the budget does not see.
constexpr TUint64 kLayoutBytesPerChar = 64;

BudgetCharge layoutCharge(TInt32 count) { return BudgetCharge(TUint64(count > 0 ? count : 0) * kLayoutBytesPerChar); }

QString textOf(const OString& s, TInt32 first, TInt32 count) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(s.data() + first), count);
}

QFont defaultFont() {
    QFont f;
    f.setPixelSize(40);
    return f;
}
}  // namespace

VMAddr CAppsFont::adopt(VMHeap& heap, std::unique_ptr<CAppsFont> font) {
    return heap.adoptObject(std::move(font), 4, GC_CODE_FONT);
}

NativeFont::NativeFont() : font_(defaultFont()), metrics_(font_) {}

TInt32 NativeFont::stringWidth(const OString& s, TInt32 first, TInt32 count) const {
    if (count <= 0) return 0;
    BudgetCharge layout = layoutCharge(count);
    return metrics_.horizontalAdvance(textOf(s, first, count));
}

// The longest prefix no wider than maxWidth. Prefix widths grow with the
// prefix, so the first that does not fit is found by halving rather than by
// measuring every prefix (which would take quadratic time on long strings).
TInt32 NativeFont::charsThatFit(const OString& s, TInt32 first, TInt32 count, TInt32 maxWidth) const {
    if (count <= 0) return 0;
    BudgetCharge layout = layoutCharge(count);
    QString text = textOf(s, first, count);
    TInt32 fits = 0, fails = count + 1;
    while (fails - fits > 1) {
        TInt32 n = fits + (fails - fits) / 2;
        (metrics_.horizontalAdvance(text, n) <= maxWidth ? fits : fails) = n;
    }
    return fits;
}

void NativeFont::draw(GraphicsContainer& surface, const OString& s, TInt32 first, TInt32 count, QPoint at,
                      TUint32 colour) {
    if (!surface.isPainting() || count <= 0) return;
    BudgetCharge layout = layoutCharge(count);
    QPainter& p = surface.painter();
    p.setPen(QColor::fromRgba(colour));
    p.drawText(QRectF(at.x(), at.y(), 32768, 32768), Qt::AlignLeft | Qt::AlignTop, textOf(s, first, count));
}

}  // namespace mcb
