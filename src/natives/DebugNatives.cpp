// The Debug native group (30): log lines and the log file, both the host's.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "vm/FrameworkServices.h"

namespace {
using namespace numeric;

void log(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    vm.host()->log(a.string(0));
    a.noResult();
}

// Whether the host could open the file is not the program's concern.
void openLog(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    vm.host()->openLog(a.string(0));
    a.noResult();
}

void nop(VirtualMachine&) {}

constexpr NativeBodies kDebug = byNumber({{1, log}, {2, openLog}, {3, nop}});
}  // namespace

void debugNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 30, function, kDebug); }
