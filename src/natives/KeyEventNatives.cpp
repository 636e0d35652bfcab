// The key-event object the host builds for every key press and release, and
// the KeyEvent natives (group 35) that read its fields.
#include "objects/OString.h"
#include "natives/NativeArgs.h"
#include "natives/NativeGroupOps.h"

#include <memory>

namespace mcb {

namespace VELMAR {
class KeyEvent : public GCObject {
public:
    KeyEvent(TInt32 code, TInt32 scan, TInt32 mods, const OString& t)
        : keyCode(code), scanCode(scan), modifiers(mods), text(t) {}
    TUint32 sizeOutsideHeap() const override { return TUint32(sizeof(*this)) + text.sizeOutsideHeap(); }

    TInt32 keyCode;
    TInt32 scanCode;
    TInt32 modifiers;
    OString text;
};
}  // namespace VELMAR

VMAddr newKeyEvent(VirtualMachine& vm, TInt32 keyCode, TInt32 scanCode, TInt32 modifiers, const OString& text) {
    return vm.heap().adoptObject(std::make_unique<VELMAR::KeyEvent>(keyCode, scanCode, modifiers, text), 4,
                                 GC_CODE_PLAIN);
}

namespace {
// The operand is a reference to a word holding the event; null at either level is VM error 1.
VELMAR::KeyEvent& keyEventAt(NativeArgs& a) {
    VMAddr event = VMAddr(a.target(0));
    if (event == 0) vmerr::raise(vmerr::msg::NullPointer);
    return *a.vm().heap().objectAs<VELMAR::KeyEvent>(event);
}

template <TInt32 VELMAR::KeyEvent::*field>
void number(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(keyEventAt(a).*field);
}

void text(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    VELMAR::KeyEvent& e = keyEventAt(a);
    a.result(TInt32(vm.newString(e.text)));
}

constexpr natives::Function kKeyEvent[] = {
    {1, "key_code", number<&VELMAR::KeyEvent::keyCode>, "(&o) -> i"},
    {2, "modifiers", number<&VELMAR::KeyEvent::modifiers>, "(&o) -> i"},
    {3, "scan_code", number<&VELMAR::KeyEvent::scanCode>, "(&o) -> i"},
    {4, "text", text, "(&o) -> s"},
};
}  // namespace

std::span<const natives::Function> keyEventFunctions() { return kKeyEvent; }

}  // namespace mcb
