// Timer natives (group 33): repeating system timers created, re-timed and
// removed through the host. A listener stays a GC root exactly as long as its
// timer exists.
#include "natives/NativeArgs.h"
#include "natives/NativeGroupOps.h"

namespace mcb {

namespace {
// Timer numbers below this are never handed out, so 0 can mean "no timer".
constexpr TInt32 kFirstTimerId = 10;

void addTimer(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    VMAddr listener = a.address(0);
    if (!vm.heap().liveEntry(listener)) vmerr::raise(vmerr::msg::InvalidTypeId);  // no object to root
    TInt32 delay = a.word(1) < 0 ? 0 : a.word(1);  // the host refuses negative periods
    vm.heap().addRoot(listener);
    TInt32 id = 0;
    try {
        id = vm.host()->addTimer(TInt32(listener), delay);
    } catch (...) {  // no timer, no root (the host's memory budget may refuse it)
        vm.heap().removeRoot(listener);
        throw;
    }
    if (id < kFirstTimerId) {
        vm.heap().removeRoot(listener);
        vm.runtimeError(nullptr, vm.pc(), CAppsString("timerID >= 10"));
    }
    a.result(id);
}

void removeTimer(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    TInt32 listener = vm.host()->removeTimer(a.word(0));
    a.noResult();
    if (listener != 0) vm.heap().removeRoot(VMAddr(listener));
}

void updateDelay(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    TInt32 id = a.word(0);
    TInt32 delay = a.word(1) < 0 ? 0 : a.word(1);
    a.noResult();
    vm.host()->updateTimerDelay(id, delay);
}

constexpr natives::Function kTimer[] = {
    {1, "add", addTimer, "(o, i) -> i"},
    {2, "remove", removeTimer, "(i) -> ()"},
    {3, "update_delay", updateDelay, "(i, i) -> ()"},
};
}  // namespace

std::span<const natives::Function> timerFunctions() { return kTimer; }

}  // namespace mcb
