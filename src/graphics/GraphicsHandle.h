// Graphics handles: the three-word GC_CODE_PAIR block {kind, surface, bitmap}
// that bytecode holds for the screen canvas (kind 1) or a bitmap (kind 2).
// Every word is read as untrusted: bytecode can write over the block, and a
// block that is no live pair has no kind at all.
#pragma once

#include "foundation/Types.h"

#include <memory>

class QPixmap;

namespace mcb {

class BitmapContainer;
class GraphicsContainer;
class VMHeap;

namespace graphics {

enum HandleKind : TUint32 { CanvasHandle = 1, BitmapHandle = 2 };

// A new surface on `device` (the back buffer) in the heap; returns its reference.
VMAddr newCanvasSurface(VMHeap& heap, QPixmap* device);
// {1, surface, 0}.
VMAddr newCanvasHandle(VMHeap& heap, VMAddr surface);
// {2, 0, container}; a null container is an empty bitmap.
VMAddr newBitmapHandle(VMHeap& heap, VMAddr container);
// A new container in the heap, taking `bitmap`; returns its reference.
VMAddr adoptBitmap(VMHeap& heap, std::unique_ptr<BitmapContainer> bitmap);

// The kind word (VM error 1 "NULL pointer" for a null handle; 0 for a block
// that is no pair).
TUint32 kindOf(VMHeap& heap, VMAddr handle);
// The bitmap's container, or null for an empty bitmap (VM error 10 "Invalid
// typeid on bitmap" for any other kind).
BitmapContainer* bitmapOf(VMHeap& heap, VMAddr handle);
// Ends the painting of the bitmap's cached surface and forgets it (VM error 10
// "Invalid bitmap handle" for any other kind). Comes before every change of
// the bitmap's pixels or container.
void detachSurface(VMHeap& heap, VMAddr handle);
// Stores a new container (0: empty) in a bitmap handle (VM error 10 for any other kind).
void setBitmap(VMHeap& heap, VMAddr handle, VMAddr container);
// The surface a canvas or bitmap handle paints through, or null when it has
// none (VM error 10 "Invalid object type ID" for any other kind). A bitmap's
// surface is made on first use and kept while it paints on the bitmap's
// current pixmap and no pixel edits are pending.
GraphicsContainer* surfaceOf(VMHeap& heap, VMAddr handle);

}  // namespace graphics

}  // namespace mcb
