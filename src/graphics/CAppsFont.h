// CAppsFont: a font object of the VM heap (GC_CODE_FONT), either the platform
// font (NativeFont) or a bitmap font cut out of an image (VelmarFont). The
// natives measure text with it and draw text through it on a surface.
#pragma once

#include "objects/OString.h"
#include "heap/GCObject.h"

#include <QPoint>

#include <memory>

namespace mcb {

class GraphicsContainer;
class VMHeap;

class CAppsFont : public GCObject {
public:
    enum FontType : TInt32 { NativeFontType = 0, VelmarFontType = 1 };

    virtual TInt32 ascent() const = 0;
    virtual TInt32 height() const = 0;
    // Of `count` characters of `s` from `first`, a range already checked against `s`.
    virtual TInt32 stringWidth(const OString& s, TInt32 first, TInt32 count) const = 0;
    // How many of those characters, from the first, fit in `maxWidth` pixels.
    virtual TInt32 charsThatFit(const OString& s, TInt32 first, TInt32 count, TInt32 maxWidth) const = 0;
    virtual TInt32 fontType() const = 0;
    // Draws the characters with the top of the text box at `at`, in `colour`
    // (its alpha as the opacity).
    virtual void draw(GraphicsContainer& surface, const OString& s, TInt32 first, TInt32 count, QPoint at,
                      TUint32 colour) = 0;

    // Places a font in the heap; returns its reference.
    static VMAddr adopt(VMHeap& heap, std::unique_ptr<CAppsFont> font);
};

}  // namespace mcb
