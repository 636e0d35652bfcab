// The load operation: parse and relocate an image, prepare its code, resolve
// the entry points and run the initialiser and "main".
#include "vm/VirtualMachine.h"

#include "io/Stream.h"
#include "io/StreamBytes.h"
#include "vm/ImageLoader.h"

bool VirtualMachine::loadImage(const CAppsString& name, const TUint8* data, size_t size,
                               TInt32& imageIndex) {
    MemoryBudget::setCurrent(memoryBudget_.budget);
    ImageLoader loader(tables_, heap_);
    if (!loader.load(name, data, size, imageIndex)) {
        if (loader.lastError().outOfMemory) vmerr::raiseOutOfMemory();
        loadProblem_ = "malformed image at " + loader.lastError().describe();
        return false;
    }
    prepared_.build(tables_.code, referenceMode_ ? PreparedCode::Mode::Reference : PreparedCode::Mode::Fast);
    frameOffsets_.clear();
    for (const MethodGCInfo& g : tables_.descriptors) frameOffsets_.push_back(TInt64(g.firstLength) + g.secondLength);
    return true;
}

void VirtualMachine::load(const CAppsString& name, VELMAR::InputStream& stream, FrameworkServices* host) {
    host_ = host ? host : &defaultHost_;
    MemoryBudget::setCurrent(memoryBudget_.budget);
    const BudgetCharge file(VELMAR::bytesLeft(stream));  // the image's bytes while it loads
    std::vector<TUint8> bytes;
    TInt32 imageIndex = -1;
    loadProblem_.clear();
    auto halt = [this](const char* message, std::string problem) {
        if (loadProblem_.empty()) loadProblem_ = std::move(problem);
        runtimeError(nullptr, -1, CAppsString(message));
    };
    if (!VELMAR::readToEnd(stream, bytes)) halt("Error while reading bytecode", "the image could not be read");
    if (!loadImage(name, bytes.data(), bytes.size(), imageIndex)) halt("Error while reading bytecode", "");
    resolveEntryPoints(imageIndex);
    // An exported method that the entry call cannot look up would end without
    // running anything, and the player would wait for ever: it counts as missing.
    if (!entryRuns(entryPoints_[EntryMain]))
        halt("'main' not found", "the image exports no global method \"main\" that can be run");
    if (entryPoints_[EntryGlobalInit] >= 0 && !entryRuns(entryPoints_[EntryGlobalInit]))
        halt("'::global::init' not found", "the image's \"::global::init\" cannot be run");
    runEntryCall(entryPoints_[EntryGlobalInit], Vec<int>(), Vec<int>(), -1);
    runEntryCall(entryPoints_[EntryMain], Vec<int>(), Vec<int>(), -1);
    collectWithGlobals();
}

bool VirtualMachine::entryRuns(TInt32 handle) const {
    if (handle < 0 || handle >= handles_.getSize()) return false;
    TInt32 descriptor = -1;
    const TInt32 address = lookupMethod(handles_[handle].exportedMethod, -1, &descriptor);
    return address >= 0 && address < prepared_.size() && descriptor != -1;
}
