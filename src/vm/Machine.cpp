// Construction of the machine, the thread's current machine, and the objects
// the machine itself makes (strings, vectors, reference cells).
#include "vm/VirtualMachine.h"

#include "objects/OVector.h"
#include "vm/NativeRegistry.h"

#include <new>
#include <algorithm>
#include <string>

namespace mcb {

namespace {
thread_local std::unique_ptr<VirtualMachine> tCurrent;

// Vector elements of the sizes that instruction 106 creates.
template <int N>
struct Element {
    TUint32 words[N / 4];
};

template <typename T>
VMAddr adoptVector(VMHeap& heap) {
    return heap.adoptObject(std::make_unique<OVector<T>>(heap), 16, GC_CODE_VECTOR);
}

// VM memory never outgrows the budget, so the reservation need not either.
TUint64 reservationFor(TUint64 memoryLimit) {
    const TUint64 slack = TUint64(16) << 20;
    return std::min(VMMemory::kDefaultReserve, (memoryLimit + slack) & ~(slack - 1));
}
}  // namespace

VirtualMachine::BudgetOwner::BudgetOwner(TUint64 limit) : budget(MemoryBudget::create(limit)) {
    MemoryBudget::setCurrent(budget);
}

VirtualMachine::BudgetOwner::~BudgetOwner() {
    if (MemoryBudget::current() == budget) MemoryBudget::setCurrent(nullptr);
    budget->drop();
}

VirtualMachine::VirtualMachine(TUint32 defaultPoolCapacity, TUint64 memoryLimit)
    : memoryBudget_(memoryLimit), memory_(reservationFor(memoryLimit), memoryBudget_.budget),
      heap_(memory_, this, defaultPoolCapacity) {
    stackAddr_ = memory_.carve(kStackWords * 4);
    stack_ = reinterpret_cast<TInt32*>(memory_.unchecked(stackAddr_));
    for (TInt32& e : entryPoints_) e = -1;
    host_ = &defaultHost_;
    prepared_.build(tables_.code);
}

VirtualMachine::~VirtualMachine() {
    for (StoredMethodCall* c : queue_) delete c;
}

VirtualMachine& VirtualMachine::createCurrent(TUint32 defaultPoolCapacity, TUint64 memoryLimit) {
    tCurrent = std::make_unique<VirtualMachine>(defaultPoolCapacity, memoryLimit);
    return *tCurrent;
}

VirtualMachine* VirtualMachine::current() { return tCurrent.get(); }

void VirtualMachine::destroyCurrent() { tCurrent.reset(); }

bool VirtualMachine::pointsIntoStack(TUint32 word) const {
    return word >= stackAddr_ && word - stackAddr_ < TUint32(kStackWords) * 4u;
}

void VirtualMachine::runtimeError(TInt32*, TInt32, const CAppsString& message) {
    try {
        haltReport_ = message.toUtf8();
    } catch (const std::bad_alloc&) {
        haltReport_.clear();  // the halt matters more than its text
    }
    vmerr::raise(vmerr::Halt);
}

void VirtualMachine::invalidNativeFunction(TInt32 group) {
    const natives::Group* g = natives::findGroup(group);
    std::string prefix = g ? std::string(g->errorPrefix) : std::string();
    vmerr::raise(vmerr::VM, prefix + std::to_string(pc_));
}

void VirtualMachine::unknownNativeFunction(TInt32 group, TInt32 function) {
    const natives::Group* g = natives::findGroup(group);
    if (g && g->unknownNamesFunction)
        vmerr::raise(vmerr::VM, std::string(g->errorPrefix) + std::to_string(function));
    invalidNativeFunction(group);
}

TInt32 VirtualMachine::levelConvert(TInt32 difference, TInt32 value, GcCode code) {
    auto cell = [this](GcCode c, TInt32 v) {
        VMAddr r = heap_.allocateWords(1, c);
        *memory_.uncheckedWord(r) = TUint32(v);
        return TInt32(r);
    };
    switch (difference) {
    case 0: return value;
    case -1: return TInt32(memory_.readWord(TUint32(value)));
    case -2: return TInt32(memory_.readWord(memory_.readWord(TUint32(value))));
    case -3: return TInt32(memory_.readWord(memory_.readWord(memory_.readWord(TUint32(value)))));
    case 1: return cell(GC_CODE_REFERENCE_CELL, value);
    case 2: return cell(GC_CODE_REFERENCE_CELL, cell(code, value));
    case 3: return cell(GC_CODE_REFERENCE_CELL, cell(GC_CODE_REFERENCE_CELL, cell(code, value)));
    default: return 0;
    }
}

VMAddr VirtualMachine::newString(const OString& text) {
    VMAddr object = 0, cell = 0;
    heap_.allocateTwo(8, -1, GC_CODE_STRING, &object, 4, 0, GC_CODE_REFERENCE_CELL, &cell);
    heap_.attachObject(object, std::make_unique<OString>(text));
    *memory_.uncheckedWord(cell) = object;
    return cell;
}

OString& VirtualMachine::stringOf(VMAddr cell) {
    VMAddr object = memory_.readWord(cell);
    if (object == 0) vmerr::raise(vmerr::msg::NullPointer);
    return *heap_.objectAs<OString>(object);
}

VMAddr VirtualMachine::newVector(TInt32 elementSize) {
    switch (elementSize) {
    case 1: return adoptVector<TInt8>(heap_);
    case 4: return adoptVector<Element<4>>(heap_);
    case 8: return adoptVector<Element<8>>(heap_);
    case 12: return adoptVector<Element<12>>(heap_);
    case 16: return adoptVector<Element<16>>(heap_);
    default:
        runtimeError(nullptr, pc_,
                     CAppsString("Internal error: invalid vector element size ").appendDecimal(elementSize));
    }
    return 0;
}

VMAddr VirtualMachine::newByteArray(TInt32 length) {
    if (length < 0) vmerr::raise(vmerr::InvalidArgument);
    VMAddr vector = 0, handle = 0;
    heap_.allocateTwo(16, -1, GC_CODE_VECTOR, &vector, 8, 0, GC_CODE_PRIMITIVE_ARRAY, &handle);
    auto bytes = std::make_unique<OVector<TInt8>>(heap_);
    bytes->resize(length);
    heap_.attachObject(vector, std::move(bytes));
    *memory_.uncheckedWord(handle) = vector;
    *memory_.uncheckedWord(handle + 4) = 1;
    return handle;
}

}  // namespace mcb
