// The Encoder native group (28): strings to UTF-8 byte vectors and back, by
// OString's strict codec (ill-formed input is VM error 4).
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace mcb {

namespace {
using namespace numeric;

// Measured first, then encoded straight into the new vector.
void toUtf8(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const OString& text = a.string(0);
    const TInt64 n = text.utf8Length();
    if (n > INT32_MAX) vmerr::raise(vmerr::InvalidArgument);
    const VMAddr handle = vm.newByteArray(TInt32(n));
    if (n > 0) {
        auto& bytes = *vm.heap().objectAs<OVector<TInt8>>(vm.memory().readWord(handle));
        text.writeUtf8(reinterpret_cast<TUint8*>(bytes.data()));
    }
    a.result(TInt32(handle));
}

void fromUtf8(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    OVector<TInt8>& bytes = byteVectorArg(a, 0);
    const OString text = OString::fromUtf8(reinterpret_cast<const TUint8*>(bytes.data()), bytes.size());
    a.result(TInt32(vm.newString(text)));
}

constexpr natives::Function kEncoder[] = {
    {1, "to_utf8", toUtf8},
    {2, "from_utf8", fromUtf8},
};
}  // namespace

std::span<const natives::Function> encoderFunctions() { return kEncoder; }

}  // namespace mcb
