// VelmarFont: a bitmap font cut out of an image. Rows 0 to h-2 hold the glyphs
// side by side (the blue byte of a pixel is its coverage), column 0 marks the
// ascent and the last row marks where each glyph ends. Glyphs are coloured at
// draw time through the colour table of an indexed copy of the coverage.
#pragma once

#include "foundation/MemoryBudget.h"
#include "foundation/Vec.h"
#include "graphics/CAppsFont.h"

#include <QImage>
#include <QPixmap>

namespace mcb {

class VelmarFont : public CAppsFont {
public:
    // A glyph's column range in the image; entry k of the table is character 32 + k.
    struct CharData {
        int x;
        int width;
    };

    // From any image (converted to ARGB32 first); a null image gives a font without glyphs.
    explicit VelmarFont(const QImage& source);

    TInt32 ascent() const override { return ascent_; }
    TInt32 height() const override { return height_; }
    TInt32 stringWidth(const OString& s, TInt32 first, TInt32 count) const override;
    TInt32 charsThatFit(const OString& s, TInt32 first, TInt32 count, TInt32 maxWidth) const override;
    TInt32 fontType() const override { return VelmarFontType; }
    void draw(GraphicsContainer& surface, const OString& s, TInt32 first, TInt32 count, QPoint at,
              TUint32 colour) override;

    const Vec<CharData>& glyphs() const { return glyphs_; }
    // How often the coloured pixmap was built.
    TInt32 colourings() const { return colourings_; }

private:
    TInt32 charWidth(TUint16 c) const {
        TInt32 k = TInt32(c) - 32;
        return k >= 0 && k < glyphs_.size() ? glyphs_.data()[k].width : 0;
    }
    void copyCoverage(const QImage& argb);
    void findGlyphs(const QImage& argb);
    void colourFor(TUint32 colour);

    TInt32 ascent_ = 0;
    TInt32 height_ = 0;
    Vec<CharData> glyphs_;
    QImage pixelData_;
    QPixmap pixmap_;
    BudgetCharge coverageCharge_;  // the coverage copy and the glyph table
    BudgetCharge pixmapCharge_;
    TUint32 color_ = 0xFFFFFFFF;
    TInt32 colourings_ = 0;
};

}  // namespace mcb
