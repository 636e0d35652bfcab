// libFuzzer target for the whole machine: an image (first byte even), or code
// to run inside a fixed image (first byte odd; the next two bytes place the
// throw routine and the timer listener), loaded and run under a control budget
// and a memory budget; with bit 1 of the first byte a few of its timers then
// fire, with bit 2 its exit event comes. Any end is fine but a crash, a
// sanitizer report, an unbounded run or a passed budget.
#include "FuzzMachine.h"

#include "io/MemoryInputStream.h"

#include <cstddef>
#include <cstdint>
#include <new>

namespace mcb {

namespace {
using namespace fuzzmachine;

// A host event: one more entry call, which may halt, exit or raise.
template <typename Call>
void deliver(VirtualMachine& vm, Call call) {
    vm.setControlBudget(kControlBudget);
    try {
        call();
    } catch (const ExitRequest&) {
    } catch (const HaltRequest&) {
    } catch (const ErrorHandlingException&) {
    }
    vmerr::clearPendingError();
}
}  // namespace

}  // namespace mcb

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mcb;
    if (size < 3) return 0;
    std::vector<TUint8> image;
    if (data[0] & 1)
        image = imageAround(std::vector<TUint8>(data + 3, data + size), data[1], data[2]);
    else
        image.assign(data + 1, data + size);
    VirtualMachine vm(kFirstPool, kMemoryLimit);
    QuietHost host;
    host.vm = &vm;
    VELMAR::MemoryInputStream in(image);
    deliver(vm, [&] { vm.load(CAppsString("index.mcb"), in, &host); });
    const std::map<TInt32, TInt32> timers = data[0] & 2 ? host.timers : std::map<TInt32, TInt32>();
    TInt32 fired = 0;  // each firing collects: a few are enough
    for (auto t = timers.begin(); t != timers.end() && fired++ < 3; ++t)
        deliver(vm, [&] { vm.systemTimer(VMAddr(t->second)); });
    if (data[0] & 4) deliver(vm, [&] { vm.exitEvent(); });
    checkAfterwards(vm);
    return 0;
}
