// Which native groups have operations. Groups are added here as they are built.
#include "natives/NativeTable.h"

#include <array>
#include <cstddef>

namespace {
constexpr std::array<NativeGroupOperation, 37> kOperations{};
}  // namespace

NativeGroupOperation nativeGroupOperation(TInt32 group) {
    if (group < 0 || group >= TInt32(kOperations.size())) return nullptr;
    return kOperations[size_t(group)];
}
