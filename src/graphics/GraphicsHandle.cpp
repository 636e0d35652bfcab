// Making and reading graphics handles.
#include "graphics/GraphicsHandle.h"

#include "foundation/VMError.h"
#include "graphics/GraphicsContainer.h"
#include "heap/VMHeap.h"

#include <memory>

namespace graphics {

VMAddr newCanvasSurface(VMHeap& heap, QPixmap* device) {
    return heap.adoptObject(std::make_unique<GraphicsContainer>(device), 4, GC_CODE_PLAIN);
}

VMAddr newCanvasHandle(VMHeap& heap, VMAddr surface) {
    VMAddr h = heap.allocate(12, 0, GC_CODE_PAIR);
    VMMemory& m = heap.memory();
    m.writeWord(h, CanvasHandle);
    m.writeWord(h + 4, surface);
    m.writeWord(h + 8, 0);
    return h;
}

TUint32 kindOf(VMHeap& heap, VMAddr handle) {
    if (handle == 0) vmerr::raise(vmerr::NullPointer, "NULL pointer");
    return heap.memory().readWord(handle);
}

GraphicsContainer* surfaceOf(VMHeap& heap, VMAddr handle) {
    TUint32 kind = kindOf(heap, handle);
    if (kind != CanvasHandle && kind != BitmapHandle) vmerr::raise(vmerr::VM, "Invalid object type ID");
    VMAddr surface = heap.memory().readWord(handle + 4);
    if (surface == 0) return nullptr;
    return heap.objectAs<GraphicsContainer>(surface);
}

}  // namespace graphics
