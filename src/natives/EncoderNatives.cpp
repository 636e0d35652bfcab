// The Encoder native group (28): strings to UTF-8 byte vectors and back, by
// OString's strict codec (ill-formed input is VM error 4).
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace {
using namespace numeric;

void toUtf8(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const Vec<TUint8> bytes = a.string(0).toUtf8();
    a.result(TInt32(newByteVector(vm, bytes.data(), bytes.size())));
}

void fromUtf8(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    OVector<TInt8>& bytes = byteVectorArg(a, 0);
    const OString text = OString::fromUtf8(reinterpret_cast<const TUint8*>(bytes.data()), bytes.size());
    a.result(TInt32(vm.newString(text)));
}

constexpr NativeBodies kEncoder = byNumber({{1, toUtf8}, {2, fromUtf8}});
}  // namespace

void encoderNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 28, function, kEncoder); }
