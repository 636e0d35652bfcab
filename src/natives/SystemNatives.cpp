// The System native group (32): ending the run, the host's clocks and values,
// the application object, the current date-time, and the default font and
// images through the graphics natives' hooks.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "vm/FrameworkServices.h"

namespace mcb {

namespace {
using namespace numeric;

SystemGraphics gGraphics;

FrameworkServices& host(VirtualMachine& vm) { return *vm.host(); }

// A host whose exit returns (one that defers it, or a test) still ends the run.
void exitRun(VirtualMachine& vm) {
    host(vm).exit();
    vmerr::raise(vmerr::Exit);
}

void exitWithMessage(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    host(vm).exitMessage(a.string(0));
    vmerr::raise(vmerr::Exit);
}

void hostInt(VirtualMachine& vm, TInt32 value) {
    NativeArgs a(vm, 0);
    a.result(value);
}

void elapsedMillis(VirtualMachine& vm) { hostInt(vm, host(vm).elapsedMillis()); }
void hostValue13(VirtualMachine& vm) { hostInt(vm, host(vm).secondaryHostValue()); }
void hostValue12(VirtualMachine& vm) { hostInt(vm, host(vm).primaryHostValue()); }
void currentMillis(VirtualMachine& vm) { hostInt(vm, host(vm).currentMillis()); }

void callStack(VirtualMachine& vm) {
    NativeArgs a(vm, 0);
    a.result(TInt32(vm.newString(OString("No Callstack available"))));
}

// Null leaves no application object; anything else must be an object to root.
void setApplication(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const VMAddr object = VMAddr(a.word(0));
    if (object != 0 && !vm.heap().liveEntry(object)) vmerr::raise(vmerr::msg::InvalidTypeId);
    vm.setApplicationObject(object);
    a.noResult();
}

void now(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    VELMAR::DateTime value;
    value.setNow();
    value.setTimezone(a.word(0));
    VMAddr cell = vm.heap().allocateWords(1, GC_CODE_REFERENCE_CELL);
    vm.memory().writeWord(cell, adoptDateTime(vm, value));
    a.result(TInt32(cell));
}

void defaultFont(VirtualMachine& vm) {
    NativeArgs a(vm, 0);
    if (!gGraphics.defaultFont) vmerr::raise(vmerr::msg::NoFonts);
    a.result(TInt32(gGraphics.defaultFont(vm)));
}

void imageFromFile(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const OString& path = a.string(0);
    VMAddr cell = gGraphics.imageFromFile ? gGraphics.imageFromFile(vm, path) : 0;
    if (cell == 0) vmerr::raise(vmerr::InvalidArgument);
    a.result(TInt32(cell));
}

void imageFromBytes(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    OVector<TInt8>& bytes = byteVectorArg(a, 0);
    if (bytes.isEmpty()) vmerr::raise(vmerr::msg::ByteArrayIsEmpty);
    const auto* data = reinterpret_cast<const TUint8*>(bytes.data());
    VMAddr cell = gGraphics.imageFromBytes ? gGraphics.imageFromBytes(vm, data, bytes.size()) : 0;
    if (cell == 0) vmerr::raise(vmerr::InvalidArgument);
    a.result(TInt32(cell));
}

void dropTwo(VirtualMachine& vm) { NativeArgs(vm, 2).noResult(); }

void zero(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(0);
}

constexpr natives::Function kSystem[] = {
    {1, "exit", exitRun},
    {2, "exit_message", exitWithMessage},
    {3, "elapsed_millis", elapsedMillis},
    {4, "call_stack", callStack},
    {5, "set_application", setApplication},
    {6, "host_value13", hostValue13},
    {7, "host_value12", hostValue12},
    {8, "current_millis", currentMillis},
    {9, "now", now},
    {10, "default_font", defaultFont},
    {11, "image_from_file", imageFromFile},
    {12, "image_from_bytes", imageFromBytes},
    {13, "drop2", dropTwo},
    {14, "zero", zero},
    {15, "zero2", zero},
};
}  // namespace

std::span<const natives::Function> systemFunctions() { return kSystem; }

void setSystemGraphics(const SystemGraphics& hooks) { gGraphics = hooks; }

}  // namespace mcb
