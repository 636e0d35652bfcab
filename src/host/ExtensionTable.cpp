// Extension lookup and lazy creation.
#include "host/ExtensionTable.h"

#include "foundation/VMError.h"

TInt32 ExtensionTable::call(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) {
    for (size_t i = 0; i < kNumbers.size(); ++i) {
        if (kNumbers[i] != extension) continue;
        if (!objects_[i]) objects_[i] = create(extension);
        if (!objects_[i]) break;
        return objects_[i]->callDllNative(function, sp, stack);
    }
    vmerr::raise(vmerr::VM, "Dll not supported");
}

// Each device extension adds its constructor here as it is built.
std::shared_ptr<DllExtension> ExtensionTable::create(TInt32 extension) {
    (void)extension;
    return nullptr;
}
