// The Screen native group (31): screen size, orientation and repaint requests
// through the host, and orientation listeners, which stay GC roots while they
// are registered since the host may call them back at any time.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/ValueOperands.h"
#include "vm/FrameworkServices.h"

namespace mcb {

namespace {
using namespace numeric;

FrameworkServices& host(VirtualMachine& vm) { return *vm.host(); }

void repaintAll(VirtualMachine& vm) {
    TInt32 width = 0, height = 0;
    host(vm).screenSize(width, height);
    host(vm).repaintRect(0, 0, width, height);
}

void size(VirtualMachine& vm) {
    NativeArgs a(vm, 0);
    TInt32 width = 0, height = 0;
    host(vm).screenSize(width, height);
    values::resultPair(a, width, height);
}

void setOrientation(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const TInt32 orientation = a.word(0);
    a.noResult();
    host(vm).setOrientation(orientation);
}

void orientation(VirtualMachine& vm) {
    NativeArgs a(vm, 0);
    a.result(host(vm).orientation());
}

void setFlag(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const bool flag = a.word(0) != 0;
    a.noResult();
    host(vm).screenFlag(flag);
}

void repaintRect(VirtualMachine& vm) {
    NativeArgs a(vm, 4);
    const TInt32 x = a.word(0), y = a.word(1), width = a.word(2), height = a.word(3);
    a.noResult();
    host(vm).repaintRect(x, y, width, height);
}

// Rooted first: adding the root checks that the listener is a heap object.
void addListener(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const VMAddr listener = a.address(0);
    vm.heap().addRoot(listener);
    a.noResult();
    host(vm).addOrientationListener(TInt32(listener));
}

void removeListener(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const VMAddr listener = a.address(0);
    a.noResult();
    host(vm).removeOrientationListener(TInt32(listener));
    vm.heap().removeRoot(listener);
}

constexpr natives::Function kScreen[] = {
    {1, "repaint", repaintAll},
    {2, "size", size},
    {3, "set_orientation", setOrientation},
    {4, "orientation", orientation},
    {5, "set_flag", setFlag},
    {6, "repaint_rect", repaintRect},
    {7, "add_orientation_listener", addListener},
    {8, "remove_orientation_listener", removeListener},
};
}  // namespace

std::span<const natives::Function> screenFunctions() { return kScreen; }

}  // namespace mcb
