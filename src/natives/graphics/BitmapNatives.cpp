// The Bitmap native group (19): creating, loading, copying, reading, changing,
// resizing and encoding bitmaps. Every check comes before the first change;
// every change of pixels or container ends the bitmap's cached surface first.
#include "graphics/BitmapContainer.h"
#include "natives/graphics/BitmapLoading.h"
#include "natives/graphics/GraphicsArgs.h"
#include "graphics/GraphicsHandle.h"
#include "natives/graphics/GraphicsNatives.h"
#include "natives/VectorOperands.h"
#include "vm/FrameworkServices.h"

#include <string>

namespace mcb {

namespace {
using namespace numeric;
using namespace graphics;

// A non-null bitmap handle (a null one is VM error 1 "NULL pointer").
VMAddr bitmapHandle(GraphicsArgs& a, TInt32 i) {
    VMAddr b = a.handle(i);
    if (b == 0) vmerr::raise(vmerr::msg::NullPointer);
    return b;
}

// The new bitmap handle goes to the variable at the out operand.
void create(GraphicsArgs& a, VMAddr out, std::unique_ptr<BitmapContainer> bitmap) {
    VMAddr container = bitmap ? adoptBitmap(a.heap(), std::move(bitmap)) : 0;
    a.vm().memory().writeWord(out, newBitmapHandle(a.heap(), container));
    a.noResult();
}

void storeLoaded(GraphicsArgs& a, VMAddr out, VMAddr handle) {
    if (handle == 0) vmerr::raise(vmerr::msg::CouldNotLoadImage);
    a.vm().memory().writeWord(out, handle);
    a.noResult();
}

// 1: out, size, colour
void createFilled(VirtualMachine& vm) {
    GraphicsArgs a(vm, 4);
    VMAddr out = destinationArg(a, 0);
    TInt32 w = a.word(1), h = a.word(2);
    if (w < 0) vmerr::raise(vmerr::msg::NegativeWidth);
    if (h < 0) vmerr::raise(vmerr::msg::NegativeHeight);
    std::unique_ptr<BitmapContainer> bitmap;
    if (w > 0 && h > 0) {
        bitmap = std::make_unique<BitmapContainer>(w, h);
        bitmap->fill(a.colour(3));
    }
    create(a, out, std::move(bitmap));
}

// 2: out, bitmap, rectangle
void copyRect(VirtualMachine& vm) {
    GraphicsArgs a(vm, 6);
    VMAddr out = destinationArg(a, 0);
    BitmapContainer* source = bitmapOf(a.heap(), bitmapHandle(a, 1));
    VMRect r = a.rect(2);
    // The message's holes: the rectangle, then the bitmap's size.
    const auto outside = [&r](const vmerr::Message& message, QSize size = {}) {
        vmerr::raise(message, {std::to_string(r.x), std::to_string(r.y), std::to_string(r.width),
                               std::to_string(r.height), std::to_string(size.width()), std::to_string(size.height())});
    };
    if (!source) {
        if (r.x != 0 || r.y != 0 || r.width != 0 || r.height != 0) outside(vmerr::msg::SourceRectOutsideEmpty);
        return create(a, out, nullptr);
    }
    QSize size = source->size();
    if (r.x < 0 || r.y < 0 || r.width < 0 || r.height < 0 || TInt64(r.x) + r.width > size.width() ||
        TInt64(r.y) + r.height > size.height())
        outside(vmerr::msg::SourceRectOutside, size);
    std::unique_ptr<BitmapContainer> copy;
    if (r.width > 0 && r.height > 0) {
        copy = std::make_unique<BitmapContainer>(r.width, r.height);
        copy->copyRegionFrom(*source, QRect(r.x, r.y, r.width, r.height));
    }
    create(a, out, std::move(copy));
}

// 3: out, file name
void loadFile(VirtualMachine& vm) {
    GraphicsArgs a(vm, 2);
    VMAddr out = destinationArg(a, 0);
    storeLoaded(a, out, LoadBitmapFromFile(vm, a.string(1), EFalse));
}

// 4: out, byte array
void decodeAll(VirtualMachine& vm) {
    GraphicsArgs a(vm, 2);
    VMAddr out = destinationArg(a, 0);
    OVector<TInt8>& bytes = byteVectorArg(a, 1);
    if (bytes.isEmpty()) vmerr::raise(vmerr::msg::ByteArrayIsEmpty);
    storeLoaded(a, out, decodeBitmap(a.heap(), reinterpret_cast<const TUint8*>(bytes.data()), bytes.size()));
}

// 5: out, byte array, range
void decodeRange(VirtualMachine& vm) {
    GraphicsArgs a(vm, 4);
    VMAddr out = destinationArg(a, 0);
    OVector<TInt8>& bytes = byteVectorArg(a, 1);
    ElementRange r = vectorops::normalisedRange(a.word(2), a.word(3), bytes.size());
    if (r.count == 0) vmerr::raise(vmerr::msg::SizeIsZero);
    const auto* data = reinterpret_cast<const TUint8*>(bytes.data()) + r.start;
    storeLoaded(a, out, decodeBitmap(a.heap(), data, r.count));
}

// 6: out, bitmap; a null handle is VM error 1 without a message
void clone(VirtualMachine& vm) {
    GraphicsArgs a(vm, 2);
    VMAddr out = destinationArg(a, 0);
    VMAddr b = a.handle(1);
    if (b == 0) vmerr::raise(vmerr::NullPointer);
    BitmapContainer* source = bitmapOf(a.heap(), b);
    create(a, out, source ? std::make_unique<BitmapContainer>(*source) : nullptr);
}

// The bitmap at (x, y) of a pixel operation; `empty` is the message for an empty bitmap. The
// messages' holes: the position, then the bitmap's size.
BitmapContainer& pixelAt(BitmapContainer* bitmap, QPoint p, const vmerr::Message& empty) {
    const auto outside = [p](const vmerr::Message& message, QSize size = {}) {
        vmerr::raise(message, {std::to_string(p.x()), std::to_string(p.y()), std::to_string(size.width()),
                               std::to_string(size.height())});
    };
    if (!bitmap) outside(empty);
    QSize size = bitmap->size();
    if (p.x() < 0 || p.x() >= size.width() || p.y() < 0 || p.y() >= size.height())
        outside(vmerr::msg::PositionOutside, size);
    return *bitmap;
}

// 7: bitmap, position → colour
void pixel(VirtualMachine& vm) {
    GraphicsArgs a(vm, 3);
    BitmapContainer* bitmap = bitmapOf(a.heap(), bitmapHandle(a, 0));
    QPoint p = a.position(1);
    a.result(TInt32(pixelAt(bitmap, p, vmerr::msg::PositionOutsideEmpty).pixel(p.x(), p.y())));
}

// 8: bitmap → width, height
void size(VirtualMachine& vm) {
    GraphicsArgs a(vm, 1);
    BitmapContainer* bitmap = bitmapOf(a.heap(), bitmapHandle(a, 0));
    QSize s = bitmap ? bitmap->size() : QSize(0, 0);
    a.vm().slot(a.vm().sp() + 1);  // room for the second word before either is written
    a.word(0) = s.width();
    a.word(1) = s.height();
    a.leave(2);
}

// 9: bitmap, position, colour
void setPixel(VirtualMachine& vm) {
    GraphicsArgs a(vm, 4);
    VMAddr b = bitmapHandle(a, 0);
    detachSurface(a.heap(), b);
    QPoint p = a.position(1);
    pixelAt(bitmapOf(a.heap(), b), p, vmerr::msg::SetPixelOnEmpty).setPixel(p.x(), p.y(), a.colour(3));
    a.noResult();
}

// 10 to 12: bitmap, size. A dimension of 0 or less empties the bitmap; an
// empty bitmap grows opaque black; a container of another size is rescaled.
template <TInt32 quality>
void resize(VirtualMachine& vm) {
    GraphicsArgs a(vm, 3);
    VMAddr b = bitmapHandle(a, 0);
    detachSurface(a.heap(), b);
    BitmapContainer* old = bitmapOf(a.heap(), b);
    TInt32 w = a.word(1), h = a.word(2);
    if (w <= 0 || h <= 0) {
        setBitmap(a.heap(), b, 0);
    } else if (!old || old->size() != QSize(w, h)) {
        auto bitmap = std::make_unique<BitmapContainer>(w, h);
        if (old) bitmap->scaleFrom(*old, quality);
        else bitmap->fill(0xFF000000u);
        setBitmap(a.heap(), b, adoptBitmap(a.heap(), std::move(bitmap)));
    }
    a.noResult();
}

const char* formatName(TInt32 format) {
    switch (format) {
    case 1: return "jpg";
    case 2: return "png";
    case 3: return "gif";
    case 4: return "bmp";
    default: return nullptr;
    }
}

// 13: bitmap, format → byte array (empty when the bitmap is empty or Qt cannot write the format)
void encode(VirtualMachine& vm) {
    GraphicsArgs a(vm, 2);
    BitmapContainer* bitmap = bitmapOf(a.heap(), bitmapHandle(a, 0));
    const char* format = formatName(a.word(1));
    FrameworkServices* host = vm.host();
    Vec<TUint8> bytes;
    if (host) host->busyNotice(false);
    bool ok = bitmap && format && bitmap->encode(bytes, format);
    if (host) host->busyNotice(true);
    a.result(TInt32(newByteVector(vm, bytes.data(), ok ? bytes.getSize() : 0)));
}

constexpr natives::Function kBitmap[] = {
    {1, "create", createFilled},
    {2, "copy_rect", copyRect},
    {3, "load_file", loadFile},
    {4, "decode", decodeAll},
    {5, "decode_range", decodeRange},
    {6, "clone", clone},
    {7, "pixel", pixel},
    {8, "size", size},
    {9, "set_pixel", setPixel},
    {10, "resize_fast", resize<0>},
    {11, "resize_fast2", resize<0>},
    {12, "resize_smooth", resize<10>},
    {13, "encode", encode},
};
}  // namespace

std::span<const natives::Function> bitmapFunctions() { return kBitmap; }

}  // namespace mcb
