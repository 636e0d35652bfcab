// VirtualMachine: the machine state (value stack in VM memory, call and handler
// stacks, program tables, heap), the interpreter, calls and exceptions, entry
// points and native dispatch. One machine per thread is the current one.
#pragma once

#include "foundation/CAppsString.h"
#include "objects/OString.h"
#include "foundation/Vec.h"
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"
#include "vm/Callbacks.h"
#include "vm/EntryPoints.h"
#include "vm/PreparedCode.h"
#include "vm/ProgramTables.h"

#include <memory>
#include <string>
#include <vector>

namespace VELMAR {
class InputStream;
}

constexpr TInt32 kStackWords = 15256;
constexpr TInt32 kStackScanWords = 15000;  // the collector's view of the stack
constexpr TInt32 kHandlerSlots = 128;      // record 0 unused: 127 handlers at most
constexpr TUint32 kDefaultHeapPool = 64000;

// A bytecode method named by signature, with the reference levels of its parameters.
struct MethodHandle {
    TBool hasResult = EFalse;
    TInt32 resultLevel = 0;
    CAppsString signature;
    Vec<int> parameterLevels;
    TInt32 exportedMethod = -1;
};

struct StoredMethodCall {
    TInt32 handle = -1;
    Vec<int> arguments;
    Vec<int> levels;
    TInt32 resultLevel = -1;
};

class VirtualMachine : public MVMCallbackInterface, public InterfaceForCallingGc {
public:
    // Every allocation the machine makes for its application draws from one
    // budget of `memoryLimit` bytes (the player's --memory-limit).
    explicit VirtualMachine(TUint32 defaultPoolCapacity = kDefaultHeapPool,
                            TUint64 memoryLimit = MemoryBudget::defaultLimit());
    ~VirtualMachine() override;
    VirtualMachine(const VirtualMachine&) = delete;
    VirtualMachine& operator=(const VirtualMachine&) = delete;

    // --- the thread's current machine -------------------------------------
    static VirtualMachine& createCurrent(TUint32 defaultPoolCapacity = kDefaultHeapPool,
                                         TUint64 memoryLimit = MemoryBudget::defaultLimit());
    static VirtualMachine* current();
    static void destroyCurrent();

    // --- loading ------------------------------------------------------------
    // Loads the image, resolves the entry points and runs "::global::init" and
    // "main". A bad image or a missing "main" halts through runtimeError (VM
    // error 11 leaves as ErrorHandlingException); halt and exit inside the
    // entry calls leave as HaltRequest and ExitRequest.
    void load(const CAppsString& name, VELMAR::InputStream& stream, FrameworkServices* host);
    // Only parses and relocates: true with the image index, false on failure.
    bool loadImage(const CAppsString& name, const TUint8* data, size_t size, TInt32& imageIndex);
    void resolveEntryPoints(TInt32 imageIndex);
    // Why the last load halted before running the image, for a person to read:
    // where the image broke the format ("malformed image at offset N (SECTION):
    // expected WHAT"), or which entry point could not be run; empty otherwise.
    const std::string& loadProblem() const { return loadProblem_; }
    // The text of the last runtime-error report (the halt it raised ends the run).
    const std::string& haltReport() const { return haltReport_; }
    // Reference mode, set before a load: the code is prepared with no fused
    // entries and no caches (PreparedCode::Mode::Reference), so that tests can
    // compare the fast paths with one instruction at a time.
    void setReferenceMode(bool on) { referenceMode_ = on; }
    const PreparedCode& preparedCode() const { return prepared_; }

    // --- MVMCallbackInterface / InterfaceForCallingGc ---------------------
    TInt32 findMethod(const CAppsString& signature, TInt32 imageIndex) override;
    void callMethod(TInt32 handle, const Vec<int>& arguments, const Vec<int>& levels,
                    TInt32 resultLevel) override;
    [[noreturn]] void runtimeError(TInt32* out, TInt32 pc, const CAppsString& message) override;
    VMHeap& heap() override { return heap_; }
    TInt32 levelConvert(TInt32 difference, TInt32 value, GcCode code) override;
    void gc() override;
    // A new vector of signed bytes with its array handle; returns the handle.
    virtual VMAddr newByteArray(TInt32 length);

    // --- entry calls ----------------------------------------------------------
    TInt32 runEntryCall(TInt32 handle, const Vec<int>& arguments, const Vec<int>& levels,
                        TInt32 resultLevel);
    TInt32 entryPoint(EntryPoint e) const { return entryPoints_[e]; }
    const MethodHandle& methodHandle(TInt32 h) const { return handles_[h]; }
    bool isRunning() const { return runningHandle_ != -1; }
    TInt32 queuedCalls() const { return queue_.getSize(); }

    // Host events: each does nothing when its entry point was not found.
    // The host makes the key-event object; the machine delivers it.
    void keyEvent(VMAddr keyEvent, bool pressed);
    // A key press or release from the host, made into the KeyEvent group's object first.
    void keyEvent(TInt32 keyCode, TInt32 scanCode, TInt32 modifiers, const OString& text, bool pressed);
    void pointerEvent(TInt32 kind, TInt32 x, TInt32 y, TInt32 modifiers);
    void draw(VMAddr canvas);
    void systemTimer(VMAddr listener);
    void orientation(VMAddr listener, TInt32 value);
    void exitEvent();
    void foregroundEvent();
    void backgroundEvent();
    VMAddr applicationObject() const { return applicationObject_; }
    void setApplicationObject(VMAddr object);

    // --- the interpreter ------------------------------------------------------
    void run();
    // Limits the jumps, calls and returns that run() may still make; when they
    // are used up the entry call halts. Negative: no limit (the default).
    void setControlBudget(TInt64 transfers) { budget_ = transfers; }
    // What is left of it: -1 once it ran out (or when none was set).
    TInt64 controlBudget() const { return budget_; }

    // --- state that natives work on ------------------------------------------
    VMMemory& memory() { return memory_; }
    MemoryBudget& budget() { return *memoryBudget_.budget; }
    ProgramTables& tables() { return tables_; }
    FrameworkServices* host() const { return host_; }
    TInt32 sp() const { return sp_; }
    void setSp(TInt32 sp) {
        if (sp < -1 || sp >= kStackWords) vmerr::raise(vmerr::msg::StackOverflow);
        sp_ = sp;
    }
    TInt32 pc() const { return pc_; }
    void setPc(TInt32 pc) { pc_ = pc; }
    TInt32* stack() { return stack_; }
    VMAddr stackAddress() const { return stackAddr_; }
    // Checked access to stack slot `index` (VM error 10 outside the stack).
    TInt32& slot(TInt32 index) {
        if (TUint32(index) >= TUint32(kStackWords)) vmerr::raise(vmerr::msg::StackIndexOutOfRange);
        return stack_[index];
    }
    VMAddr globals() const { return tables_.globals; }
    const Vec<int>& descriptorStack() const { return descriptorStack_; }
    const Vec<int>& frameBaseStack() const { return frameBaseStack_; }

    // A new string object and the reference cell that holds it, made together;
    // returns the cell.
    VMAddr newString(const OString& text);
    // The string behind a cell reference (null cell: VM error 1; a cell that
    // holds no string: VM error 10).
    OString& stringOf(VMAddr cell);
    // A new empty vector object for elements of 1, 4, 8, 12 or 16 bytes.
    VMAddr newVector(TInt32 elementSize);

    // Hooks around every collection; they do nothing.
    virtual void beforeCollection() {}
    virtual void afterCollection() {}

    // The group prefix and program counter of an unknown native function.
    [[noreturn]] void invalidNativeFunction(TInt32 group);

    struct SignatureParts;  // a signature cut where its parameters' levels stand

private:
    friend class Interpreter;
    struct HandlerRecord {
        TInt32 classIndex = 0;
        TInt32 savedSp = 0;
        TInt32 address = 0;
        TInt32 callDepth = 0;  // calls active when pushed; a catch drops the others
    };

    TInt32 findMethod(const CAppsString& signature, const SignatureParts& parts, TInt32 imageIndex);
    void callNative(TInt32 group, TInt32 function);
    // A function the group's table lacks: VM error 10 with the group's prefix.
    [[noreturn]] void unknownNativeFunction(TInt32 group, TInt32 function);
    void callExtension(TInt32 extension, TInt32 function);
    TInt32 lookupMethod(TInt32 exportedMethod, TInt32 classIndex, TInt32* descriptor) const;
    // The handle's method is found without a receiver and lies in the code.
    bool entryRuns(TInt32 handle) const;
    void pushCall(TInt32 returnAddress, TInt32 descriptor);
    TInt32 frameBaseFor(TInt32 descriptor) const;
    void checkDescriptor(TInt32 descriptor) const;
    void checkCallDepth() const;
    void throwObject(TInt32 nextPc);
    void uncaughtThrow(VMAddr object, TInt32 nextPc);
    void internalThrow(TInt32 code, const CAppsString& text);
    TInt32 superclassOf(TInt32 classIndex) const;
    void runUntilReturn();
    void endEntryCall();
    void collectWithGlobals();
    void scanStack();
    void scanFrame(const MethodGCInfo& g, TInt32 base, TInt32 top);
    bool pointsIntoStack(TUint32 word) const;
    TInt32 pushConverted(TInt32 level, TInt32 value);
    TInt32 receiverClass(const MethodHandle& h, TInt32 slotValue);

    // Holds the budget for the machine's lifetime; it is the thread's current
    // budget while the machine is made and whenever it runs.
    struct BudgetOwner {
        explicit BudgetOwner(TUint64 limit);
        ~BudgetOwner();
        BudgetOwner(const BudgetOwner&) = delete;
        BudgetOwner& operator=(const BudgetOwner&) = delete;
        MemoryBudget* budget;
    };

    BudgetOwner memoryBudget_;
    VMMemory memory_;
    VMHeap heap_;
    ProgramTables tables_;
    PreparedCode prepared_;
    FrameworkServices* host_ = nullptr;
    FrameworkServices defaultHost_;
    VMAddr stackAddr_ = 0;
    TInt32* stack_ = nullptr;
    TInt32 sp_ = 0;
    TInt32 pc_ = -1;
    Vec<int> descriptorStack_;
    Vec<int> frameBaseStack_;
    HandlerRecord handlers_[kHandlerSlots];
    TInt32 handlerTop_ = 0;
    Vec<MethodHandle> handles_;
    TInt32 entryPoints_[EntryPointCount];
    VMAddr applicationObject_ = 0;
    TInt32 runningHandle_ = -1;
    Vec<StoredMethodCall*> queue_;
    TInt64 budget_ = -1;
    bool referenceMode_ = false;
    // Per method descriptor, how far below the return slot its frame starts.
    std::vector<TInt64> frameOffsets_;
    std::string loadProblem_;
    std::string haltReport_;
};
