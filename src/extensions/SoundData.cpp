// Reading and copying sound data.
#include "extensions/SoundData.h"

#include "io/CAppsFileReader.h"
#include "vm/FrameworkServices.h"

#include <new>

namespace mcb {

namespace sound {

SoundBytes readFile(FileSystemServices& files, const OString& name) {
    SoundBytes out;
    std::unique_ptr<CAppsFileReader> reader = files.openForReading(name, 0);
    if (!reader || !reader->isOk()) return out;
    const TUint32 size = reader->size();
    if (size == 0) {
        out.result = Load::Empty;
        return out;
    }
    out.result = Load::ReadFailed;
    if (size > TUint32(INT32_MAX)) return out;
    out.charge = BudgetCharge(size);
    try {
        out.bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return out;
    }
    if (!reader->read(out.bytes.data(), TInt32(size))) {
        out.bytes = {};
        return out;
    }
    out.result = Load::Done;
    return out;
}

SoundBytes copyBytes(const TUint8* data, size_t n) {
    SoundBytes out;
    out.charge = BudgetCharge(n);
    out.result = n == 0 ? Load::Empty : Load::Done;
    out.bytes.assign(data, data + n);
    return out;
}

std::vector<TInt16> samplesOf(const std::vector<TUint8>& bytes) {
    std::vector<TInt16> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = TInt16(TUint16(bytes[2 * i] | TUint16(bytes[2 * i + 1]) << 8));
    return samples;
}

}  // namespace sound

}  // namespace mcb
