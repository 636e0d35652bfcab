// Making and reading graphics handles, and the cached surfaces of bitmaps.
#include "graphics/GraphicsHandle.h"

#include "foundation/VMError.h"
#include "graphics/BitmapContainer.h"
#include "graphics/GraphicsContainer.h"
#include "heap/VMHeap.h"

#include <memory>
#include <type_traits>
#include <typeinfo>

namespace mcb {

namespace graphics {
namespace {
constexpr TUint32 kSurfaceWord = 4;
constexpr TUint32 kBitmapWord = 8;

// The object of a final class at ref ("Invalid TYPEID" for any other). Every
// drawing native asks for two, and an exact type test is much cheaper than a
// dynamic_cast.
template <typename T>
T* objectOf(VMHeap& heap, VMAddr ref) {
    static_assert(std::is_final_v<T>);
    GCObject* o = heap.object(ref);
    if (typeid(*o) != typeid(T)) vmerr::raise(vmerr::msg::InvalidTypeId);
    return static_cast<T*>(o);
}

VMAddr newHandle(VMHeap& heap, TUint32 kind, VMAddr surface, VMAddr bitmap) {
    VMAddr h = heap.allocate(12, 0, GC_CODE_PAIR);
    VMMemory& m = heap.memory();
    m.writeWord(h, kind);
    m.writeWord(h + kSurfaceWord, surface);
    m.writeWord(h + kBitmapWord, bitmap);
    return h;
}

void requireBitmap(VMHeap& heap, VMAddr handle, const vmerr::Message& message) {
    if (kindOf(heap, handle) != BitmapHandle) vmerr::raise(message);
}

BitmapContainer* containerAt(VMHeap& heap, VMAddr handle) {
    VMAddr bitmap = heap.memory().readWord(handle + kBitmapWord);
    return bitmap ? objectOf<BitmapContainer>(heap, bitmap) : nullptr;
}

void forgetSurface(VMHeap& heap, VMAddr handle) {
    VMAddr surface = heap.memory().readWord(handle + kSurfaceWord);
    if (surface == 0) return;
    objectOf<GraphicsContainer>(heap, surface)->endPainting();
    heap.memory().writeWord(handle + kSurfaceWord, 0);
}

GraphicsContainer* bitmapSurface(VMHeap& heap, VMAddr handle) {
    BitmapContainer* bitmap = containerAt(heap, handle);
    if (!bitmap) return nullptr;
    if (VMAddr cached = heap.memory().readWord(handle + kSurfaceWord)) {
        GraphicsContainer* surface = objectOf<GraphicsContainer>(heap, cached);
        // A surface left on an older pixmap, or one that pixel edits have
        // overtaken, would paint where nobody looks.
        if (surface->paintsOn(bitmap->currentPixmap()) && !bitmap->hasImage()) return surface;
        forgetSurface(heap, handle);
    }
    auto made = std::make_unique<GraphicsContainer>(*bitmap);
    GraphicsContainer* surface = made.get();
    heap.memory().writeWord(handle + kSurfaceWord, heap.adoptObject(std::move(made), 4, GC_CODE_PLAIN));
    return surface;
}
}  // namespace

VMAddr newCanvasSurface(VMHeap& heap, QPixmap* device) {
    return heap.adoptObject(std::make_unique<GraphicsContainer>(device), 4, GC_CODE_PLAIN);
}

VMAddr newCanvasHandle(VMHeap& heap, VMAddr surface) { return newHandle(heap, CanvasHandle, surface, 0); }

VMAddr newBitmapHandle(VMHeap& heap, VMAddr container) { return newHandle(heap, BitmapHandle, 0, container); }

VMAddr adoptBitmap(VMHeap& heap, std::unique_ptr<BitmapContainer> bitmap) {
    return heap.adoptObject(std::move(bitmap), 4, GC_CODE_PLAIN);
}

TUint32 kindOf(VMHeap& heap, VMAddr handle) {
    if (handle == 0) vmerr::raise(vmerr::msg::NullPointer);
    HeapEntry* he = heap.liveEntry(handle);
    if (!he || he->gcCode != GC_CODE_PAIR || he->size < 12) return 0;
    return heap.memory().readWord(handle);
}

BitmapContainer* bitmapOf(VMHeap& heap, VMAddr handle) {
    requireBitmap(heap, handle, vmerr::msg::InvalidTypeIdOnBitmap);
    return containerAt(heap, handle);
}

void detachSurface(VMHeap& heap, VMAddr handle) {
    requireBitmap(heap, handle, vmerr::msg::InvalidBitmapHandle);
    forgetSurface(heap, handle);
}

void setBitmap(VMHeap& heap, VMAddr handle, VMAddr container) {
    if (kindOf(heap, handle) != BitmapHandle) vmerr::raise(vmerr::VM);
    heap.memory().writeWord(handle + kBitmapWord, container);
}

GraphicsContainer* surfaceOf(VMHeap& heap, VMAddr handle) {
    TUint32 kind = kindOf(heap, handle);
    if (kind == BitmapHandle) return bitmapSurface(heap, handle);
    if (kind != CanvasHandle) vmerr::raise(vmerr::msg::InvalidObjectTypeId);
    VMAddr surface = heap.memory().readWord(handle + kSurfaceWord);
    if (surface == 0) return nullptr;
    return objectOf<GraphicsContainer>(heap, surface);
}

}  // namespace graphics

}  // namespace mcb
