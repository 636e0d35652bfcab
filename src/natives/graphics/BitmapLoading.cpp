// Decoding bitmaps and bitmap fonts, and reading them from files.
#include "natives/graphics/BitmapLoading.h"

#include "foundation/CAppsString.h"
#include "objects/OString.h"
#include "graphics/BitmapContainer.h"
#include "graphics/GraphicsHandle.h"
#include "graphics/NativeFont.h"
#include "graphics/VelmarFont.h"
#include "io/CAppsFileReader.h"
#include "vm/FrameworkServices.h"
#include "vm/VirtualMachine.h"

#include <QBuffer>
#include <QImageReader>

namespace mcb {

namespace graphics {
namespace {
// The picture in the bytes, refused by its stated size before it is decoded;
// `held` charges the decoded picture to the budget while the caller keeps it.
QImage decode(const TUint8* bytes, TInt32 n, BudgetCharge& held) {
    if (!bytes || n <= 0) return QImage();
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), n);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QSize size = reader.size();
    if (size.isValid()) held = BitmapContainer::chargeFor(size);
    QImage image = reader.read();
    if (!image.isNull()) {
        BitmapContainer::checkSize(image.width(), image.height());
        held.resize(TUint64(image.sizeInBytes()));
    }
    return image;
}
}  // namespace

VMAddr decodeBitmap(VMHeap& heap, const TUint8* bytes, TInt32 n) {
    BudgetCharge held;
    QImage image = decode(bytes, n, held);
    if (image.isNull()) return 0;
    held.reset();  // the pixmap takes the image's pixels over and is charged for them
    auto bitmap = std::make_unique<BitmapContainer>(QPixmap::fromImage(std::move(image)));
    return newBitmapHandle(heap, adoptBitmap(heap, std::move(bitmap)));
}

VMAddr decodeFont(VMHeap& heap, const TUint8* bytes, TInt32 n) {
    BudgetCharge held;
    QImage image = decode(bytes, n, held);
    if (image.isNull()) return 0;
    return CAppsFont::adopt(heap, std::make_unique<VelmarFont>(image));
}

VMAddr createNativeFont(VMHeap& heap, TInt32 size) {
    if (size < 0 || size > 2) vmerr::raise(vmerr::msg::UnknownFontSize);
    return CAppsFont::adopt(heap, std::make_unique<NativeFont>());
}

VMAddr LoadBitmapFromFile(VirtualMachine& vm, const OString& name, TBool asFont) {
    if (name.isEmpty()) vmerr::raise(vmerr::msg::FilenameIsEmpty);
    std::unique_ptr<CAppsFileReader> reader = vm.host() ? vm.host()->openForReading(name, 0) : nullptr;
    if (!reader) vmerr::raise(vmerr::msg::CouldNotOpenFile, CAppsString().appendUnits(name.data(), name.length()));
    TUint32 size = reader->size();
    if (size == 0) vmerr::raise(vmerr::msg::FileIsEmpty);
    // No picture under the size limit comes in a file twice as large.
    if (size > 2 * BitmapContainer::kMaxPixelBytes) vmerr::raise(vmerr::msg::BitmapTooLarge);
    BudgetCharge held(size);
    Vec<TUint8> bytes;
    if (!reader->read(bytes, TInt32(size)) || TUint32(bytes.getSize()) != size) vmerr::raise(vmerr::IO);
    reader.reset();
    return asFont ? decodeFont(vm.heap(), bytes.data(), bytes.getSize())
                  : decodeBitmap(vm.heap(), bytes.data(), bytes.getSize());
}

}  // namespace graphics

}  // namespace mcb
