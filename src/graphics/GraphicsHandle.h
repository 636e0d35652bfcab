// Graphics handles: the three-word GC_CODE_PAIR block {kind, surface, bitmap}
// that bytecode holds for the screen canvas (kind 1) or a bitmap (kind 2).
// Every word is read as untrusted: bytecode can write over the block.
#pragma once

#include "foundation/Types.h"

class GraphicsContainer;
class QPixmap;
class VMHeap;

namespace graphics {

enum HandleKind : TUint32 { CanvasHandle = 1, BitmapHandle = 2 };

// A new surface on `device` (the back buffer) in the heap; returns its reference.
VMAddr newCanvasSurface(VMHeap& heap, QPixmap* device);
// {1, surface, 0}.
VMAddr newCanvasHandle(VMHeap& heap, VMAddr surface);
TUint32 kindOf(VMHeap& heap, VMAddr handle);
// The surface a canvas or bitmap handle paints through, or null when it has
// none (VM error 10 "Invalid object type ID" for any other kind).
GraphicsContainer* surfaceOf(VMHeap& heap, VMAddr handle);

}  // namespace graphics
