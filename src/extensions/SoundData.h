// SoundData: the one place where the sound extensions take the bytes of a
// sound, from an application file or from a byte array. Whatever limits what
// an application may hold in sound applies here.
#pragma once

#include "objects/OString.h"
#include "foundation/Types.h"
#include "foundation/MemoryBudget.h"

#include <vector>

namespace mcb {

class FileSystemServices;

namespace sound {

enum class Load { Done, NotOpened, Empty, ReadFailed };

struct SoundBytes {
    Load result = Load::NotOpened;
    std::vector<TUint8> bytes;
    BudgetCharge charge;  // the bytes' cost to the application's memory budget
};

// The whole file, read through the host's file services (so the application
// path rule holds). Both charge the bytes to the memory budget before taking
// them: "Out of memory" when they do not fit.
SoundBytes readFile(FileSystemServices& files, const OString& name);
// A copy of `n` bytes held by the application.
SoundBytes copyBytes(const TUint8* data, size_t n);

// Signed 16-bit little-endian samples; an odd last byte is no sample.
std::vector<TInt16> samplesOf(const std::vector<TUint8>& bytes);

}  // namespace sound

}  // namespace mcb
