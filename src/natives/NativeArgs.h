// NativeArgs: how a native reads its arguments from the value stack and leaves
// its result where they began. Arguments were pushed left to right, so the
// last is on top; 64-bit values take two words.
#pragma once

#include "vm/VirtualMachine.h"

namespace mcb {

class NativeArgs {
public:
    // The top `words` stack words are the arguments (VM error 10 when the stack
    // holds fewer).
    NativeArgs(VirtualMachine& vm, TInt32 words) : vm_(vm), base_(vm.sp() - words + 1) {
        if (words < 0 || base_ < 0) vmerr::raise(vmerr::msg::StackUnderflow);
    }

    VirtualMachine& vm() { return vm_; }

    // Argument word i, counted from the first argument.
    [[gnu::always_inline]] TInt32& word(TInt32 i) { return vm_.slot(base_ + i); }
    // A 64-bit argument starting at word i: the low word in the lower slot, as
    // a two-word push leaves it.
    TInt64 long64(TInt32 i) { return TInt64(TUint64(TUint32(word(i + 1))) << 32 | TUint32(word(i))); }
    // A non-null reference or address (null: VM error 1 "NULL pointer").
    VMAddr address(TInt32 i) {
        VMAddr a = VMAddr(word(i));
        if (a == 0) vmerr::raise(vmerr::msg::NullPointer);
        return a;
    }
    // A destination cell: non-null and writable, checked before anything is
    // made to go into it.
    VMAddr destination(TInt32 i) {
        VMAddr a = address(i);
        vm_.memory().wordPtr(a);
        return a;
    }
    // The string behind a cell argument.
    OString& string(TInt32 i) { return vm_.stringOf(address(i)); }
    // The word at a variable address argument.
    TUint32& target(TInt32 i) { return *vm_.memory().wordPtr(address(i)); }

    // Drops the arguments and leaves `n` result words where they began.
    void leave(TInt32 n) { vm_.setSp(base_ + n - 1); }
    [[gnu::always_inline]] void result(TInt32 v) {
        vm_.slot(base_) = v;
        leave(1);
    }
    [[gnu::always_inline]] void result64(TInt64 v) {
        TInt32& low = vm_.slot(base_);
        TInt32& high = vm_.slot(base_ + 1);  // both checked before either is written
        low = TInt32(TUint32(TUint64(v)));
        high = TInt32(TUint32(TUint64(v) >> 32));
        leave(2);
    }
    void noResult() { leave(0); }

private:
    VirtualMachine& vm_;
    TInt32 base_;
};

}  // namespace mcb
