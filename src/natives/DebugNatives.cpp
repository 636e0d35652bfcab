// The Debug native group (30): log lines and the log file, both the host's.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "vm/FrameworkServices.h"

namespace mcb {

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

constexpr natives::Function kDebug[] = {
    {1, "log", log, "(s) -> ()"},
    {2, "open_log", openLog, "(s) -> ()"},
    {3, "nop", nop, "() -> ()"},
};
}  // namespace

std::span<const natives::Function> debugFunctions() { return kDebug; }

}  // namespace mcb
