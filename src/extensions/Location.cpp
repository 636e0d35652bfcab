// The location extension: location records, position requests, and the
// delivery of fixes to bytecode.
#include "extensions/Location.h"

#include "heap/VMHeap.h"

#include <cmath>

namespace {
constexpr TUint32 kEntryBytes = 4;  // the handle word

ORaw fixedOf(double v) { return std::isnan(v) ? ORaw() : ORaw::toFixed(v); }
}  // namespace

// --- delivery -------------------------------------------------------------------

void LocationObserver::positionUpdated(ORaw p, ORaw q, ORaw r, ORaw s, const Velmar::DateTime& time,
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
    : DeviceExtension(vm, 27), source_(std::move(source)),
      observer_(std::make_shared<LocationObserver>(vm, std::move(call), findMethod(kEvent), findMethod(kError))) {}

TInt32 CLocationWrapper::callDllNative(TInt32 function, TInt32 sp, TInt32* stack) {
    switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 17: return request(function, sp, stack);
    case 5: return newLocation(sp, stack);
    case 6:
    case 7: return change(function, sp, stack);
    case 8: return ExtensionStack(vm_, sp, stack, 5).noResult();
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
    case 16: return query(function, sp, stack);
    default: unknownFunction();
    }
}

TInt32 CLocationWrapper::request(TInt32 function, TInt32 sp, TInt32* stack) {
    static constexpr TInt32 kWords[18] = {0, 4, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    ExtensionStack s(vm_, sp, stack, kWords[function]);
    if (function == 1) {
        s.checkField(0);
        const TInt32 c = TInt32(TUint32(s.word(3)) * 1000u);
        s.setField(0, vm_.heap().adoptObject(std::make_unique<CLocationPositionRequestorGCObject>(
                                                 vm_.heap(), observer_, source_, s.word(1), s.word(2), c),
                                             kEntryBytes, GC_CODE_PLAIN));
        return s.noResult();
    }
    auto& requestor = s.field<CLocationPositionRequestorGCObject>(0);
    switch (function) {
    case 2: requestor.setC(s.word(1)); break;
    case 17: requestor.setB(s.word(1)); break;
    case 3: requestor.start(s.address(0)); break;
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
    location->timestamp = s.objectAt<Velmar::DateTime>(7);
    s.setField(0, vm_.heap().adoptObject(std::move(location), kEntryBytes, GC_CODE_PLAIN));
    return s.noResult();
}

TInt32 CLocationWrapper::change(TInt32 function, TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, function == 6 ? 2 : 7);
    CLocation& location = s.field<CLocation>(0);
    if (function == 6) {
        location.timestamp = s.objectAt<Velmar::DateTime>(1);
    } else {
        location.value1 = ORaw::fromRaw(s.long64(1));
        location.value2 = ORaw::fromRaw(s.long64(3));
        location.value3 = ORaw::fromRaw(s.long64(5));
    }
    return s.noResult();
}

// 9 and 10 replace the location by one word, 11 to 13 by a fixed value, and
// 14 to 16 take two locations and leave a fixed value in their two words.
TInt32 CLocationWrapper::query(TInt32 function, TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, function >= 14 ? 2 : 1);
    if (function == 14 || function == 15) return s.result64(0);
    CLocation& location = s.field<CLocation>(function == 16 ? 1 : 0);
    switch (function) {
    case 9: return s.result(location.integer);
    case 10: {
        VMHeap& heap = vm_.heap();
        const VMAddr dateTime = heap.createObject<Velmar::DateTime>(Velmar::DateTime::KHeapEntryBytes,
                                                                    GC_CODE_DATETIME, location.timestamp);
        const VMAddr cell = heap.allocateWords(1, GC_CODE_REFERENCE_CELL);
        heap.memory().writeWord(cell, dateTime);
        return s.result(TInt32(cell));
    }
    case 11: return s.result64(location.value3.raw());
    case 12: return s.result64(location.value1.raw());
    case 13: return s.result64(location.value2.raw());
    default: return s.result64(location.value4.raw());
    }
}
