// NativeFont: the platform's default font at pixel size 40. Its measures are
// Qt's font metrics; its text is drawn with the surface's own painter font.
#pragma once

#include "graphics/CAppsFont.h"

#include <QFont>
#include <QFontMetrics>

namespace mcb {

class NativeFont : public CAppsFont {
public:
    NativeFont();

    TInt32 ascent() const override { return metrics_.ascent(); }
    TInt32 height() const override { return metrics_.height(); }
    TInt32 stringWidth(const OString& s, TInt32 first, TInt32 count) const override;
    TInt32 charsThatFit(const OString& s, TInt32 first, TInt32 count, TInt32 maxWidth) const override;
    TInt32 fontType() const override { return NativeFontType; }
    void draw(GraphicsContainer& surface, const OString& s, TInt32 first, TInt32 count, QPoint at,
              TUint32 colour) override;

private:
    QFont font_;
    QFontMetrics metrics_;
};

}  // namespace mcb
