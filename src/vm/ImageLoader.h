// ImageLoader: parses a bytecode image and appends it, relocated, to the
// program tables. An image that fails appends nothing, and the failure says
// where in the file it was found.
#pragma once

#include "foundation/CAppsString.h"
#include "heap/VMHeap.h"
#include "vm/ImageFile.h"
#include "vm/Instructions.h"
#include "vm/ProgramTables.h"

#include <cstddef>

namespace mcb {

namespace VELMAR {
class InputStream;
}

// Class indices beyond this are refused so that a later image's class base
// cannot make the class tables absurdly large.
constexpr TInt32 kMaxClassTableSize = 1 << 18;

class ImageLoader {
public:
    ImageLoader(ProgramTables& tables, VMHeap& heap) : tables_(tables), heap_(heap) {}

    // Loads one image under `name`. True with the image's index (that of the
    // earlier copy when the same identifier and name were loaded before); false
    // with lastError() describing the first problem.
    bool load(const CAppsString& name, const TUint8* data, size_t size, TInt32& imageIndex);
    // Reads the stream from its position to its end first.
    bool load(const CAppsString& name, VELMAR::InputStream& stream, TInt32& imageIndex);

    const ImageError& lastError() const { return error_; }

private:
    struct Bases {
        TInt32 code = 0;
        TInt32 descriptor = 0;
        TInt32 string = 0;
        TInt32 classBase = 1;
        TInt32 image = 0;
    };

    TInt32 findImage(const std::array<TUint8, kImageIdentifierLength>& identifier,
                     const CAppsString& name) const;
    bool checkRoom(const ImageFile& file, Bases& bases);
    bool allocateGlobals(const ImageFile& file);
    void appendImage(const CAppsString& name, const ImageFile& file, const Bases& bases);
    void appendGlobalMethods(const ImageFile& file, const Bases& bases);
    Vec<TInt32> appendSelectors(const ImageFile& file, const Bases& bases);
    void appendClasses(const ImageFile& file, const Bases& bases);
    void appendDescriptors(const ImageFile& file);
    void appendStrings(const ImageFile& file);
    void appendCode(const ImageFile& file, const Bases& bases, const Vec<TInt32>& selectorMap);
    void relocate(TUint8* operand, const OperandInfo& info, const Bases& bases,
                  const Vec<TInt32>& selectorMap);
    void raiseLargestClassIndex(TInt32 classIndex);
    bool fail(TUint32 offset, const char* section, std::string expected);
    // A failure for want of memory: the pending error is taken into lastError().
    bool outOfMemory(TUint32 offset, const char* section, const std::string& what);

    ProgramTables& tables_;
    VMHeap& heap_;
    ImageError error_;
};

}  // namespace mcb
