// The Graphics native group (18): drawing bitmaps, text, rectangles and lines
// on a canvas or a bitmap. A null handle draws nothing; a bitmap drawn on
// itself is drawn from a copy.
#include "natives/graphics/GraphicsNatives.h"

#include "graphics/BitmapContainer.h"
#include "graphics/CAppsFont.h"
#include "natives/graphics/GraphicsArgs.h"
#include "graphics/GraphicsHandle.h"
#include "natives/VectorOperands.h"

#include <optional>

namespace mcb {

namespace {
using namespace numeric;
using namespace graphics;

// The container to draw from: a copy when the target paints on the same bitmap.
struct Source {
    BitmapContainer* bitmap;
    std::optional<BitmapContainer> copy;

    Source(BitmapContainer* b, bool sameHandle) : bitmap(b) {
        if (sameHandle && b) bitmap = &copy.emplace(*b);
    }
};

// 1: graphics, bitmap, position, alpha
void drawBitmapAt(VirtualMachine& vm) {
    GraphicsArgs a(vm, 5);
    VMAddr g = a.handle(0), b = a.handle(1);
    if (g != 0 && b != 0 && g != b) {
        detachSurface(a.heap(), b);
        if (BitmapContainer* bitmap = bitmapOf(a.heap(), b))
            if (GraphicsContainer* surface = surfaceOf(a.heap(), g)) surface->drawBitmapAt(bitmap, a.position(2), a.word(4));
    }
    a.noResult();
}

// Text of the range [first, first + count) of the string, at `at`.
void drawText(GraphicsArgs& a, const OString& s, ElementRange r, QPoint at, TUint32 colour, TInt32 fontSlot) {
    VMAddr g = a.handle(0), fontWord = a.handle(fontSlot);
    if (g == 0) return;
    GraphicsContainer* surface = surfaceOf(a.heap(), g);
    if (!surface || fontWord == 0) return;
    auto* font = dynamic_cast<CAppsFont*>(a.heap().findObject(fontWord));
    if (!font) vmerr::raise(vmerr::msg::InvalidFontType);
    font->draw(*surface, s, r.start, r.count, at, colour);
}

// 2: graphics, string, position, colour, font
void drawString(VirtualMachine& vm) {
    GraphicsArgs a(vm, 6);
    a.address(0);
    a.address(5);
    const OString& s = a.string(1);
    drawText(a, s, {0, s.length()}, a.position(2), a.colour(4), 5);
    a.noResult();
}

// 3: graphics, string, range, position, colour, font
void drawStringRange(VirtualMachine& vm) {
    GraphicsArgs a(vm, 8);
    a.address(0);
    a.address(7);
    const OString& s = a.string(1);
    ElementRange r = vectorops::normalisedRange(a.word(2), a.word(3), s.length());
    drawText(a, s, r, a.position(4), a.colour(6), 7);
    a.noResult();
}

// The surface of the graphics operand, or null for a null handle.
GraphicsContainer* target(GraphicsArgs& a) {
    VMAddr g = a.handle(0);
    return g ? surfaceOf(a.heap(), g) : nullptr;
}

// 4: graphics, rectangle, colour
void fillRect(VirtualMachine& vm) {
    GraphicsArgs a(vm, 6);
    VMRect r = a.rect(1);
    if (GraphicsContainer* surface = target(a)) surface->fillRect(r.x, r.y, r.width, r.height, a.colour(5));
    a.noResult();
}

// 5: graphics, position, position, colour
void drawLine(VirtualMachine& vm) {
    GraphicsArgs a(vm, 6);
    QPoint from = a.position(1), to = a.position(3);
    if (GraphicsContainer* surface = target(a)) surface->drawLine(from.x(), from.y(), to.x(), to.y(), a.colour(5));
    a.noResult();
}

// 6: graphics, bitmap, rectangle, position, alpha (which tiles ignore)
void drawTiled(VirtualMachine& vm) {
    GraphicsArgs a(vm, 9);
    VMAddr g = a.handle(0), b = a.handle(1);
    if (g != 0 && b != 0) {
        detachSurface(a.heap(), b);
        BitmapContainer* bitmap = bitmapOf(a.heap(), b);
        if (!bitmap) {
            GraphicsContainer::warnNullBitmap();
        } else if (GraphicsContainer* surface = surfaceOf(a.heap(), g)) {
            Source source(bitmap, g == b);
            surface->drawTiled(source.bitmap, a.rect(2), a.position(6));
        }
    }
    a.noResult();
}

// The target's surface and the source bitmap of opcodes 7 and 10; nothing for null handles.
template <typename Draw>
void drawFrom(GraphicsArgs& a, Draw draw) {
    VMAddr g = a.handle(0), b = a.handle(1);
    if (g == 0 || b == 0) return;
    BitmapContainer* bitmap = bitmapOf(a.heap(), b);
    GraphicsContainer* surface = surfaceOf(a.heap(), g);
    if (!surface) return;
    Source source(bitmap, g == b);
    draw(*surface, source.bitmap);
}

// 7: graphics, bitmap, position, rectangle, alpha
void drawBitmap(VirtualMachine& vm) {
    GraphicsArgs a(vm, 9);
    drawFrom(a, [&](GraphicsContainer& s, BitmapContainer* bitmap) {
        s.drawBitmap(bitmap, a.rect(4), a.position(2), a.word(8));
    });
    a.noResult();
}

// 8: graphics, colour. A canvas is painted over; a bitmap takes the colour as it is.
void clear(VirtualMachine& vm) {
    GraphicsArgs a(vm, 2);
    VMAddr g = a.handle(0);
    if (g != 0 && kindOf(a.heap(), g) == BitmapHandle) {
        detachSurface(a.heap(), g);
        if (BitmapContainer* bitmap = bitmapOf(a.heap(), g)) bitmap->fill(a.colour(1));
    } else if (GraphicsContainer* surface = target(a)) {
        surface->clear(a.colour(1));
    }
    a.noResult();
}

// 9: graphics and four words, accepted and ignored
void ignore(VirtualMachine& vm) { GraphicsArgs(vm, 5).noResult(); }

// 10: graphics, bitmap, position, angle, scale x, scale y, alpha
void drawTransformed(VirtualMachine& vm) {
    GraphicsArgs a(vm, 11);
    drawFrom(a, [&](GraphicsContainer& s, BitmapContainer* bitmap) {
        s.drawTransformed(bitmap, a.position(2), a.number(4), a.number(6), a.number(8), a.word(10));
    });
    a.noResult();
}

constexpr natives::Function kGraphics[] = {
    {1, "draw_bitmap_at", drawBitmapAt},
    {2, "draw_string", drawString},
    {3, "draw_string_range", drawStringRange},
    {4, "fill_rect", fillRect},
    {5, "draw_line", drawLine},
    {6, "draw_tiled", drawTiled},
    {7, "draw_bitmap", drawBitmap},
    {8, "clear", clear},
    {9, "ignore4", ignore},
    {10, "draw_transformed", drawTransformed},
};
}  // namespace

std::span<const natives::Function> graphicsFunctions() { return kGraphics; }

}  // namespace mcb
