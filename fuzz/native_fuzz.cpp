// libFuzzer target for every native: the input is a run of calls, each a group,
// a function and up to eight operand words drawn from the bytes: small and
// extreme numbers, null and bad addresses, and objects of every kind (strings,
// vectors of each width, cells, date-times, longs, ranges, destinations that
// earlier calls fill), the same one more than once. A call may end in any VM
// error; none may crash, leave a corrupt heap, make the host run out of memory
// or pass the memory budget.
#include "FuzzMachine.h"

#include "io/MemoryInputStream.h"
#include "natives/NativeTable.h"
#include "natives/NumericArgs.h"
#include "natives/VectorOperands.h"

#include <cstddef>
#include <cstdint>
#include <new>

namespace mcb {

namespace {
using namespace fuzzmachine;

constexpr TInt32 kGroups[] = {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 21, 22, 23, 24, 25,
                              26, 27, 28, 29, 30, 32, 33, 34, 35, 36};
constexpr TInt32 kExtremes[] = {0, 1, -1, 2, INT32_MIN, INT32_MAX, 0x7FFFFFF0, 0x40000000, 65536, 15256, 1 << 24};

struct Bytes {
    const uint8_t* p;
    size_t n;
    bool empty() const { return n == 0; }
    TUint8 byte() { return n ? (--n, *p++) : 0; }
    TInt32 word() { return TInt32(TUint32(byte()) | TUint32(byte()) << 8 | TUint32(byte()) << 16 | TUint32(byte()) << 24); }
};

// The machine with its image loaded ("main" only returns), and the operands.
struct World {
    VirtualMachine vm{kFirstPool, kMemoryLimit};
    QuietHost host;
    std::vector<VMAddr> pool;

    World() {
        host.vm = &vm;
        const std::vector<TUint8> code = {TUint8(Op::Return), 0, 0, 0, 0, 0, 0, 0, 0};
        VELMAR::MemoryInputStream in(imageAround(code, 0, 0));
        vm.load(CAppsString("index.mcb"), in, &host);
        for (const OString& s : {OString(), OString("abc"), OString("AbC aBc abc"), OString(TUint16(0xE9), 3),
                                 OString(TUint16('a'), 300), OString(TUint16(','), 2)})
            keep(vm.newString(s));
        for (const VectorKind* k : {&kByteVector, &kIntVector, &kInt2Vector, &kInt3Vector, &kInt4Vector, &kObjectVector})
            for (TInt32 n : {0, 5}) keep(vectorHandle(*k, n));
        keep(cellHolding(numeric::adoptDateTime(vm, VELMAR::DateTime())));
        keep(numeric::newLong(vm, -7));
        for (TInt32 i = 0; i < 4; ++i) keep(vm.heap().allocateWords(2, GC_CODE_PLAIN));  // ranges, destinations
        pool.push_back(vm.globals());
        pool.push_back(vm.stackAddress() + 64);  // an address, but no object
    }

    void keep(VMAddr ref) {
        vm.heap().addRoot(ref);
        pool.push_back(ref);
    }
    VMAddr cellHolding(VMAddr object) {
        const VMAddr cell = vm.heap().allocateWords(1, GC_CODE_REFERENCE_CELL);
        vm.memory().writeWord(cell, object);
        return cell;
    }
    VMAddr vectorHandle(const VectorKind& kind, TInt32 n) {
        OVectorBase* v = nullptr;
        const VMAddr handle = vectorops::newVectorHandle(vm, kind, &v);
        v->resize(n);
        if (kind.references)  // the strings made first
            for (TInt32 i = 0; i < n; ++i) vm.memory().writeWord(v->elementAddress(i), pool[size_t(i)]);
        return handle;
    }

    TInt32 operand(Bytes& in) {
        const TUint8 kind = in.byte();
        switch (kind % 8) {
        case 0: return TInt8(in.byte());
        case 1: return in.word();
        case 2: return kExtremes[in.byte() % std::size(kExtremes)];
        case 3: return TInt32(pool[in.byte() % pool.size()] + (in.byte() & 1));  // sometimes misaligned
        default: return TInt32(pool[in.byte() % pool.size()]);
        }
    }

    void call(Bytes& in) {
        const TInt32 group = kGroups[in.byte() % std::size(kGroups)];
        const TInt32 function = in.byte();
        const TInt32 words = in.byte() % 9;
        const TInt32 base = 8;
        for (TInt32 i = 1; i <= words; ++i) vm.slot(base + i) = operand(in);
        vm.setSp(base + words);
        try {
            if (const natives::Function* f = natives::findFunction(group, function))
                f->call(vm);
            else
                vm.invalidNativeFunction(group);
        } catch (const ErrorHandlingException&) {
            vmerr::clearPendingError();
        }
    }
};
}  // namespace

}  // namespace mcb

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mcb;
    World world;
    Bytes in{data, size};
    for (TInt32 calls = 0; !in.empty() && calls < 64; ++calls) world.call(in);
    checkAfterwards(world.vm);
    return 0;
}
