// The common part of every device extension: the bodies that only take their
// arguments, and the checked stack access of its calls.
#include "extensions/DeviceExtension.h"

#include "vm/VirtualMachine.h"

namespace mcb {

TInt32 DeviceExtension::ignore(TInt32 words, TInt32 sp, TInt32* stack) {
    return ExtensionStack(vm_, sp, stack, words).noResult();
}

TInt32 DeviceExtension::zero(TInt32 words, TInt32 sp, TInt32* stack) {
    return ExtensionStack(vm_, sp, stack, words).result(0);
}

ExtensionStack::ExtensionStack(MVMCallbackInterface& vm, TInt32 sp, TInt32* stack, TInt32 words)
    : vm_(vm), stack_(stack), base_(sp - words + 1) {
    if (sp < -1 || sp >= kStackWords) vmerr::raise(vmerr::msg::StackIndexOutOfRange);
    if (words < 0 || base_ < 0) vmerr::raise(vmerr::msg::StackUnderflow);
}

TInt32& ExtensionStack::word(TInt32 i) {
    const TInt32 index = base_ + i;
    if (i < 0 || index >= kStackWords) vmerr::raise(vmerr::msg::StackIndexOutOfRange);
    return stack_[index];
}

VMAddr ExtensionStack::address(TInt32 i) {
    const VMAddr a = VMAddr(word(i));
    if (a == 0) vmerr::raise(vmerr::msg::NullPointer);
    return a;
}

OString& ExtensionStack::string(TInt32 i) { return objectAt<OString>(i); }

TInt32 ExtensionStack::leave(TInt32 n) {
    const TInt32 sp = base_ + n - 1;
    if (sp >= kStackWords) vmerr::raise(vmerr::msg::StackOverflow);
    return sp;
}

TInt32 ExtensionStack::result(TInt32 v) {
    const TInt32 sp = leave(1);
    word(0) = v;
    return sp;
}

TInt32 ExtensionStack::result64(TInt64 v) {
    const TInt32 sp = leave(2);
    word(0) = TInt32(TUint32(TUint64(v)));
    word(1) = TInt32(TUint32(TUint64(v) >> 32));
    return sp;
}

}  // namespace mcb
