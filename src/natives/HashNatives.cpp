// The Hash native group (34): hash objects that collect the bytes given to
// them. This platform's hash provider computes nothing, so every digest is an
// empty byte vector whatever the data and the algorithm number.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

#include <algorithm>
#include <vector>

namespace mcb {

namespace {
using namespace numeric;

// The hash provider record: the algorithm named at creation and the data so far.
class HashObject : public GCObject {
public:
    static constexpr TUint32 KHeapEntryBytes = 8;
    // Updates past this much data are refused rather than left to exhaust host memory.
    static constexpr size_t KMaxBytes = size_t(1) << 28;

    explicit HashObject(TInt32 algorithm) : iAlgorithm(algorithm) {}

    // The buffer grows by doubling, each step charged to the budget first.
    void update(const TInt8* bytes, TInt32 n) {
        if (n <= 0) return;
        const size_t needed = iData.size() + size_t(n);
        if (needed > KMaxBytes) vmerr::raise(vmerr::msg::HashDataTooLarge);
        if (needed > iData.capacity()) {
            const size_t grown = std::min(KMaxBytes, std::max(needed, iData.capacity() * 2));
            const TUint64 charged = iCharge.bytes();
            iCharge.resize(grown + 16);
            try {
                iData.reserve(grown);
            } catch (...) {  // the host refused: the charge goes back with the error
                iCharge.resize(charged);
                throw;
            }
        }
        iData.insert(iData.end(), bytes, bytes + n);
    }
    TInt32 algorithm() const { return iAlgorithm; }
    TUint32 sizeOutsideHeap() const override { return TUint32(iData.capacity()); }

private:
    TInt32 iAlgorithm;
    BudgetCharge iCharge;
    std::vector<TInt8> iData;
};

VMAddr emptyDigest(VirtualMachine& vm) { return newByteVector(vm, nullptr, 0); }

void newHash(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const VMAddr cell = destinationArg(a, 0);
    const VMAddr hash = vm.heap().createObject<HashObject>(HashObject::KHeapEntryBytes, GC_CODE_HASH, a.word(1));
    vm.memory().writeWord(cell, hash);
    a.noResult();
}

void digestOfBytes(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    byteVectorArg(a, 0);
    a.result(TInt32(emptyDigest(vm)));
}

void update(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    HashObject& hash = objectArg<HashObject>(a, 0);
    OVector<TInt8>& bytes = byteVectorArg(a, 1);
    hash.update(bytes.data(), bytes.size());
    a.noResult();
}

void digest(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    objectArg<HashObject>(a, 0);
    a.result(TInt32(emptyDigest(vm)));
}

constexpr natives::Function kHash[] = {
    {1, "new", newHash},
    {2, "digest_bytes", digestOfBytes},
    {3, "update", update},
    {4, "digest", digest},
};
}  // namespace

std::span<const natives::Function> hashFunctions() { return kHash; }

}  // namespace mcb
