// Loading pictures: bitmaps and bitmap fonts decoded from bytes (any format Qt
// reads) and loaded from application files through the host's file services.
#pragma once

#include "foundation/Types.h"

namespace mcb {

class OString;
class VirtualMachine;
class VMHeap;

namespace graphics {

// A new bitmap handle for the picture in `n` bytes, or 0 when they hold none.
// A picture over the size limit is VM error 6 "Bitmap too large".
VMAddr decodeBitmap(VMHeap& heap, const TUint8* bytes, TInt32 n);
// A new bitmap font made from the picture in `n` bytes, or 0 when they hold none.
VMAddr decodeFont(VMHeap& heap, const TUint8* bytes, TInt32 n);
// A new platform font (sizes 0 to 2 all give the one font; any other size is
// VM error 6 "Unknown font size").
VMAddr createNativeFont(VMHeap& heap, TInt32 size);

// Reads the application file `name` whole and decodes it as a bitmap handle
// or, with `asFont`, as a bitmap font; 0 when it holds no picture. VM errors:
// 6 "Filename is empty", 7 "Could not open file: NAME", 6 "File is empty",
// 7 when reading fails.
VMAddr LoadBitmapFromFile(VirtualMachine& vm, const OString& name, TBool asFont);

}  // namespace graphics

}  // namespace mcb
