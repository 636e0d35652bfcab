// What the machine's fuzz targets share: a host that keeps quiet (no log, no
// exit, timers in a table, extension 1 collects), the limits every run gets,
// and a fixed image around a piece of code.
#pragma once

#include "../tests/vm/ImageBuilder.h"

#include "foundation/VMError.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "vm/FrameworkServices.h"
#include "vm/VirtualMachine.h"

#include <map>
#include <memory>
#include <vector>

namespace mcb {

namespace fuzzmachine {

// Small enough that no run is slow (every collection sweeps the whole heap and
// marks every element of an object vector), large enough for real work.
constexpr TUint64 kMemoryLimit = TUint64(256) << 10;
constexpr TInt64 kControlBudget = 64;
// A small first pool: every run makes a machine, and the pools grow as needed.
constexpr TUint32 kFirstPool = 4096;

struct QuietHost : FrameworkServices {
    VirtualMachine* vm = nullptr;
    std::map<TInt32, TInt32> timers;
    TInt32 nextTimer = 10;
    TInt32 collections = 0;

    // Every file reads the same few bytes; every written byte goes nowhere.
    std::unique_ptr<CAppsFileReader> openForReading(const OString&, TInt32) override {
        static const TUint8 kBytes[] = "0123456789 file bytes \xC3\xA9\n";
        return std::make_unique<CAppsFileReader>(kBytes, TUint32(sizeof kBytes - 1));
    }
    std::unique_ptr<CAppsFileWriter> openForWriting(const OString&, bool truncate) override {
        return std::make_unique<CAppsFileWriter>(CAppsString("/dev/null"), truncate);
    }
    bool fileExists(const OString& path) override { return path.length() % 2 == 1; }
    void log(const OString&) override {}
    void exit() override {}
    TInt32 addTimer(TInt32 listener, TInt32) override {
        timers[nextTimer] = listener;
        return nextTimer++;
    }
    TInt32 removeTimer(TInt32 id) override {
        auto it = timers.find(id);
        if (it == timers.end()) return 0;
        TInt32 listener = it->second;
        timers.erase(it);
        return listener;
    }
    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override {
        if (extension != 1 || function != 1) return FrameworkServices::callDllNative(extension, function, sp, stack);
        if (collections++ < 8) vm->gc();  // a few per run: a loop of them would only be slow
        return sp;
    }
};

// Classes, descriptors, strings, a globals block and exported methods around
// `code`: "main" at 0, the throw routine, a timer listener and an exit event at
// offsets the caller names (they may lie anywhere, even outside the code).
inline std::vector<TUint8> imageAround(std::vector<TUint8> code, TInt32 throwAt, TInt32 timerAt) {
    ImageFile image = testimg::emptyImage();
    image.code = std::move(code);
    image.globalCount = 16;
    image.classes.resize(3);
    image.classes[0].referenceFields = {1};
    image.classes[1].superclassPresent = 1;
    image.classes[1].arrayFields = {{kArrayFlagReferences, 1}, {kArrayFlagPlain, 2}};
    image.classes[2].referenceFields = {1, 2, 3};
    image.descriptors.resize(3);
    image.descriptors[1].firstLength = 2;
    image.descriptors[1].referenceSlots = {0, 1};
    image.descriptors[2].firstLength = 1;
    image.descriptors[2].secondLength = 2;
    image.descriptors[2].possibleReferenceSlots = {0, 2};
    image.descriptors[2].arraySlots = {{kArrayFlagReferences, 1}};
    image.strings = {"", "text", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"};
    image.globalMethods = {{"main", 0, 0}, {"vminternalthrow<int>,<string>", throwAt, 1}};
    image.selectors = {{"<*systemtimerlistener>.systemtimerevent", {{0, timerAt, 1}, {1, timerAt, 2}}},
                       {"<*application>.exit event", {{2, throwAt, 1}}}};
    return testimg::encode(image);
}

// A run must leave a heap that survives a collection, a report and a walk
// (which may meet headers that bytecode overwrote), and a budget never passed.
inline void checkAfterwards(VirtualMachine& vm) {
    vmerr::clearPendingError();
    try {
        vm.gc();
        vm.heap().getMemUsage(nullptr);
        vm.heap().verify();
    } catch (const ErrorHandlingException&) {
        vmerr::clearPendingError();
    }
    if (vm.budget().used() > vm.budget().limit()) __builtin_trap();
}

}  // namespace fuzzmachine

}  // namespace mcb
