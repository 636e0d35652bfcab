// The location extension: location records, position requests, and the
// delivery of fixes to bytecode.
#include "extensions/Location.h"

#include "heap/VMHeap.h"

#include <cmath>

namespace mcb {

namespace {
constexpr TUint32 kEntryBytes = 4;  // the handle word

ORaw fixedOf(double v) { return std::isnan(v) ? ORaw() : ORaw::toFixed(v); }
}  // namespace

// --- delivery -------------------------------------------------------------------

void LocationObserver::positionUpdated(ORaw p, ORaw q, ORaw r, ORaw s, const VELMAR::DateTime& time,
                                       TInt32 integer, VMAddr observer) {
    if (eventHandle_ == -1) return;
    auto location = std::make_unique<CLocation>();
    location->value1 = q;
    location->value2 = p;
    location->value3 = r;
    location->value4 = s;
    location->timestamp = time;
    location->integer = integer;
    const VMAddr ref = vm_.heap().adoptObject(std::move(location), kEntryBytes, GC_CODE_PLAIN);
    Vec<int> arguments, levels;
    arguments.append(TInt32(observer));
    arguments.append(TInt32(ref));
    levels.append(1);
    levels.append(0);
    vm_.callMethod(eventHandle_, arguments, levels, 1);
}

void LocationObserver::positionError(TInt32 code, VMAddr observer) {
    if (errorHandle_ == -1) return;
    Vec<int> arguments, levels;
    arguments.append(TInt32(observer));
    arguments.append(code);
    levels.append(1);
    levels.append(0);
    vm_.callMethod(errorHandle_, arguments, levels, 1);
}

// The call runs now, or waits in the machine's queue while bytecode runs (its
// argument words keep the new location alive until then).
void LocationObserver::deliver(const PositionFix& fix, VMAddr observer) {
    auto update = [&] {
        positionUpdated(fixedOf(fix.longitude), fixedOf(fix.latitude), fixedOf(fix.altitude),
                        fixedOf(fix.accuracy), fix.time, 0, observer);
    };
    if (call_) call_(update);
    else update();
}

// --- requests -------------------------------------------------------------------

void CLocationPositionRequestorGCObject::start(VMAddr requestObject) {
    if (requestObject_ != 0) return;
    heap_.addRoot(requestObject);
    requestObject_ = requestObject;
    if (source_)
        client_ = source_->start([this](const PositionFix& fix) { observer_->deliver(fix, requestObject_); });
}

void CLocationPositionRequestorGCObject::stop() {
    if (requestObject_ == 0) return;
    client_.reset();
    heap_.removeRoot(std::exchange(requestObject_, 0));
}

// --- the extension -----------------------------------------------------------------

CLocationWrapper::CLocationWrapper(MVMCallbackInterface& vm, std::shared_ptr<PositionSource> source, MachineCall call)
    : DeviceExtension(vm, kEntry), source_(std::move(source)),
      observer_(std::make_shared<LocationObserver>(vm, std::move(call), findMethod(kEvent), findMethod(kError))) {}

const ExtensionFunction<CLocationWrapper> CLocationWrapper::kFunctions[] = {
    {1, "new_request", &CLocationWrapper::request, kNewRequest},
    {2, "set_request_c", &CLocationWrapper::request, kSetC},
    {3, "start_updates", &CLocationWrapper::request, kStart},
    {4, "stop_updates", &CLocationWrapper::request, kStop},
    {5, "new_location", &CLocationWrapper::newLocation},
    {6, "set_timestamp", &CLocationWrapper::change, kTimestamp},
    {7, "set_values", &CLocationWrapper::change, kValues},
    {8, "ignore8", &CLocationWrapper::ignore, 5},
    {9, "integer", &CLocationWrapper::query, kInteger},
    {10, "timestamp", &CLocationWrapper::query, kTimestampCell},
    {11, "value3", &CLocationWrapper::query, kValue3},
    {12, "value1", &CLocationWrapper::query, kValue1},
    {13, "value2", &CLocationWrapper::query, kValue2},
    {14, "zero14", &CLocationWrapper::query, kZero},
    {15, "zero15", &CLocationWrapper::query, kZero},
    {16, "value4", &CLocationWrapper::query, kValue4},
    {17, "set_request_b", &CLocationWrapper::request, kSetB},
};

std::span<const ExtensionFunction<CLocationWrapper>> CLocationWrapper::functions() { return kFunctions; }

TInt32 CLocationWrapper::callDllNative(TInt32 function, TInt32 sp, TInt32* stack) {
    return callRow<CLocationWrapper>(kFunctions, function, sp, stack);
}

TInt32 CLocationWrapper::request(TInt32 call, TInt32 sp, TInt32* stack) {
    static constexpr TInt32 kWords[] = {4, 2, 1, 1, 2};
    ExtensionStack s(vm_, sp, stack, kWords[call]);
    if (call == kNewRequest) {
        s.checkField(0);
        const TInt32 c = TInt32(TUint32(s.word(3)) * 1000u);
        s.setField(0, vm_.heap().adoptObject(std::make_unique<CLocationPositionRequestorGCObject>(
                                                 vm_.heap(), observer_, source_, s.word(1), s.word(2), c),
                                             kEntryBytes, GC_CODE_PLAIN));
        return s.noResult();
    }
    auto& requestor = s.field<CLocationPositionRequestorGCObject>(0);
    switch (call) {
    case kSetC: requestor.setC(s.word(1)); break;
    case kSetB: requestor.setB(s.word(1)); break;
    case kStart: requestor.start(s.address(0)); break;
    default: requestor.stop(); break;
    }
    return s.noResult();
}

TInt32 CLocationWrapper::newLocation(TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 8);
    s.checkField(0);
    auto location = std::make_unique<CLocation>();
    location->value1 = ORaw::fromRaw(s.long64(1));
    location->value2 = ORaw::fromRaw(s.long64(3));
    location->value3 = ORaw::fromRaw(s.long64(5));
    location->timestamp = s.objectAt<VELMAR::DateTime>(7);
    s.setField(0, vm_.heap().adoptObject(std::move(location), kEntryBytes, GC_CODE_PLAIN));
    return s.noResult();
}

TInt32 CLocationWrapper::change(TInt32 what, TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, what == kTimestamp ? 2 : 7);
    CLocation& location = s.field<CLocation>(0);
    if (what == kTimestamp) {
        location.timestamp = s.objectAt<VELMAR::DateTime>(1);
    } else {
        location.value1 = ORaw::fromRaw(s.long64(1));
        location.value2 = ORaw::fromRaw(s.long64(3));
        location.value3 = ORaw::fromRaw(s.long64(5));
    }
    return s.noResult();
}

// The integer and the timestamp replace the location by one word, values 1 to 3 by a
// fixed value; zero and value 4 take two locations and leave a fixed value in their two words.
TInt32 CLocationWrapper::query(TInt32 what, TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, what >= kZero ? 2 : 1);
    if (what == kZero) return s.result64(0);
    CLocation& location = s.field<CLocation>(what == kValue4 ? 1 : 0);
    switch (what) {
    case kInteger: return s.result(location.integer);
    case kTimestampCell: {
        VMHeap& heap = vm_.heap();
        const VMAddr dateTime = heap.createObject<VELMAR::DateTime>(VELMAR::DateTime::KHeapEntryBytes,
                                                                    GC_CODE_DATETIME, location.timestamp);
        const VMAddr cell = heap.allocateWords(1, GC_CODE_REFERENCE_CELL);
        heap.memory().writeWord(cell, dateTime);
        return s.result(TInt32(cell));
    }
    case kValue3: return s.result64(location.value3.raw());
    case kValue1: return s.result64(location.value1.raw());
    case kValue2: return s.result64(location.value2.raw());
    default: return s.result64(location.value4.raw());
    }
}

}  // namespace mcb
