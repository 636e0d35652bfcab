// The location extension (27): location records and position requests as
// native objects in the VM heap. A started request gets fixes from the
// PositionSource and hands each to the bytecode method "<locationobserver>
// .handle location event<location>" of its request object, which stays a heap
// root while started.
#pragma once

#include "extensions/DeviceExtension.h"
#include "extensions/PositionSource.h"
#include "foundation/ORaw.h"
#include "natives/DateTime.h"

#include <functional>
#include <memory>

namespace mcb {

// How an extension calls into the machine from an event of its own: the host
// decides what a halt or an exit inside that call means.
using MachineCall = std::function<void(const std::function<void()>&)>;

// Where position sources report to.
class MPositionObserver {
public:
    virtual ~MPositionObserver() = default;
    // value 1 = q, value 2 = p, value 3 = r, value 4 = s.
    virtual void positionUpdated(ORaw p, ORaw q, ORaw r, ORaw s, const VELMAR::DateTime& time, TInt32 integer,
                                 VMAddr observer) = 0;
    virtual void positionError(TInt32 code, VMAddr observer) = 0;
};

// A location record: four fixed values, a time stamp and an integer.
class CLocation : public GCObject {
public:
    ORaw value2, value1, value3, value4;
    VELMAR::DateTime timestamp;
    TInt32 integer = 0;
};

// Turns reports into calls of the bytecode observer methods. Shared by the
// extension and its requests, so that either may go first.
class LocationObserver : public MPositionObserver {
public:
    LocationObserver(MVMCallbackInterface& vm, MachineCall call, TInt32 eventHandle, TInt32 errorHandle)
        : vm_(vm), call_(std::move(call)), eventHandle_(eventHandle), errorHandle_(errorHandle) {}
    void positionUpdated(ORaw p, ORaw q, ORaw r, ORaw s, const VELMAR::DateTime& time, TInt32 integer,
                         VMAddr observer) override;
    void positionError(TInt32 code, VMAddr observer) override;
    // A fix from the source, for the request object `observer`.
    void deliver(const PositionFix& fix, VMAddr observer);

private:
    MVMCallbackInterface& vm_;
    MachineCall call_;
    TInt32 eventHandle_, errorHandle_;
};

// The native object of a bytecode position request.
class CLocationPositionRequestorGCObject : public GCObject {
public:
    CLocationPositionRequestorGCObject(VMHeap& heap, std::shared_ptr<LocationObserver> observer,
                                       std::shared_ptr<PositionSource> source, TInt32 a, TInt32 b, TInt32 c)
        : heap_(heap), observer_(std::move(observer)), source_(std::move(source)), a_(a), b_(b), c_(c) {}
    ~CLocationPositionRequestorGCObject() override { stop(); }

    void setB(TInt32 b) { b_ = b; }
    void setC(TInt32 c) { c_ = c; }
    TInt32 a() const { return a_; }
    TInt32 b() const { return b_; }
    TInt32 c() const { return c_; }
    // Fixes go to `requestObject`, which stays a heap root until stop.
    void start(VMAddr requestObject);
    void stop();
    bool isStarted() const { return requestObject_ != 0; }

private:
    VMHeap& heap_;
    std::shared_ptr<LocationObserver> observer_;
    std::shared_ptr<PositionSource> source_;
    TInt32 a_, b_, c_;  // kept as given, read by nothing
    VMAddr requestObject_ = 0;
    std::unique_ptr<PositionClient> client_;
};

class CLocationWrapper : public DeviceExtension {
public:
    static constexpr const char* kEvent = "<locationobserver>.handle location event<location>";
    static constexpr const char* kError = "<locationobserver>.handle location error<locationerror>";

    static constexpr ExtensionEntry kEntry{27, "Location", "Location: Unknown opcode!"};
    // The extension's functions, one row each.
    static std::span<const ExtensionFunction<CLocationWrapper>> functions();

    CLocationWrapper(MVMCallbackInterface& vm, std::shared_ptr<PositionSource> source, MachineCall call);
    TInt32 callDllNative(TInt32 function, TInt32 sp, TInt32* stack) override;
    MPositionObserver& observer() { return *observer_; }

private:
    static const ExtensionFunction<CLocationWrapper> kFunctions[];
    enum RequestCall : TInt32 { kNewRequest, kSetC, kStart, kStop, kSetB };
    enum Change : TInt32 { kTimestamp, kValues };
    enum Query : TInt32 { kInteger, kTimestampCell, kValue3, kValue1, kValue2, kZero, kValue4 };
    TInt32 request(TInt32 call, TInt32 sp, TInt32* stack);
    TInt32 newLocation(TInt32 sp, TInt32* stack);
    TInt32 change(TInt32 what, TInt32 sp, TInt32* stack);
    TInt32 query(TInt32 what, TInt32 sp, TInt32* stack);

    std::shared_ptr<PositionSource> source_;
    std::shared_ptr<LocationObserver> observer_;
};

}  // namespace mcb
