// The native groups of the core: per group its number, assembler name and error prefix,
// and the function table its file defines (declared in natives/NativeGroupOps.h).
#include "natives/NativeTable.h"

#include "natives/NativeGroupOps.h"

namespace mcb {

namespace natives {
namespace {
const Group kCoreGroups[] = {
    {1, "ByteVector", "Vector:", byteVectorFunctions()},
    {2, "Group2", "", {}},
    {3, "IntVector", "Vector:", intVectorFunctions()},
    {4, "Int2Vector", "Vector:", int2VectorFunctions()},
    {5, "Int3Vector", "Vector:", int3VectorFunctions()},
    {6, "Int4Vector", "Vector:", int4VectorFunctions()},
    {7, "ObjectVector", "Vector:", objectVectorFunctions()},
    {8, "String", "String:", stringFunctions()},
    {9, "Byte", "Byte:", byteFunctions()},
    {10, "Char", "Char:", charFunctions()},
    {11, "Fixed", "Fixed:", fixedFunctions()},
    {12, "Long", "Long:", longFunctions()},
    {13, "Color", "Color:", colorFunctions()},
    {14, "Range", "Range:", rangeFunctions()},
    {15, "Size", "Size:", sizeFunctions()},
    {16, "Position", "Position:", positionFunctions()},
    {17, "Rectangle", "Rectangle:", rectangleFunctions()},
    {18, "Graphics", "Graphics:", {}},
    {19, "Bitmap", "Bitmap:", {}},
    {20, "Font", "Font:", {}},
    {21, "OutputStream", "OutputStream:", outputStreamFunctions()},
    {22, "FileWriter", "FileWriter:", fileWriterFunctions()},
    {23, "InputStream", "InputStream:", inputStreamFunctions()},
    {24, "FileReader", "FileReader:", fileReaderFunctions()},
    {25, "FileSystem", "FileSystem:", fileSystemFunctions()},
    {26, "Math", "Math:", mathFunctions()},
    {27, "Number", "Number:", numberFunctions()},
    {28, "Encoder", "Encoder:", encoderFunctions()},
    {29, "DateTime", "DateTime:", dateTimeFunctions()},
    {30, "Debug", "Debug:", debugFunctions()},
    {31, "Screen", "Screen:", screenFunctions()},
    {32, "System", "System:", systemFunctions()},
    {33, "Timer", "Timer:", timerFunctions()},
    {34, "Hash", "Hash:", hashFunctions()},
    {35, "KeyEvent", "KeyEvent: invalid opcode ", keyEventFunctions()},
    {36, "Float", "Float: invalid opcode: ", floatFunctions(), true},
};

// Start-up registration: every program linking the core finds its groups in the registry.
[[maybe_unused]] const bool gRegistered = (registerCoreGroups(), true);
}  // namespace

std::span<const Group> coreGroups() { return kCoreGroups; }

void registerCoreGroups()
{
    if (!findGroup(kFirstGroup))
        registerGroups(kCoreGroups);
    registerKeyEventMaker(newKeyEvent);
}
}  // namespace natives

}  // namespace mcb

// The symbol the build asks the linker to keep, so that a program linking the core as a
// static library keeps this file and with it the start-up registration.
extern "C" void mcb_register_core_natives() { mcb::natives::registerCoreGroups(); }
