// Scheduler: the application's repeating system timers, one Qt timer each.
// Every period calls "<systemtimerlistener>.systemtimerevent" on the listener.
// Under stepped time (EventClock.h) the Qt timers stay idle: each timer has a
// due time on the virtual clock, and the event clock fires them in order.
#pragma once

#include "foundation/Types.h"
#include "foundation/MemoryBudget.h"

#include <QObject>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace mcb {

class VirtualMachine;

class Timer : public QObject {
    Q_OBJECT
public:
    // What a timer costs its application's memory budget: this object, its Qt
    // timer with their private parts, and its place in the scheduler.
    static constexpr TUint64 kHostBytes = 1280;  // about 1160 measured with Qt 6.4

    // `stepped`: the Qt timer is not started (see Scheduler::setSteppedClock).
    Timer(VirtualMachine* vm, TInt32 listener, TUint32 delay, BudgetCharge charge, bool stepped = false);
    TInt32 id() const { return id_; }
    TInt32 listener() const { return listener_; }
    void setDelay(TUint32 delay) { qtimer_->setInterval(int(std::min<TUint32>(delay, 0x7FFFFFFF))); }
    int interval() const { return qtimer_->interval(); }
    void stop() { qtimer_->stop(); }

    // Stepped time: when it fires next, and its place among timers due together.
    TInt64 due() const { return due_; }
    TUint64 order() const { return order_; }
    void arm(TInt64 due, TUint64 order) { due_ = due, order_ = order; }

public slots:
    void timeout();

private:
    TInt32 listener_;
    TInt32 id_;
    QTimer* qtimer_;
    VirtualMachine* vm_;
    TInt64 due_ = 0;
    TUint64 order_ = 0;
    BudgetCharge charge_;
};

class Scheduler {
public:
    void setVm(VirtualMachine* vm) { vm_ = vm; }
    // The new timer's number (10, 11, ... never reused). A timer that the
    // machine's memory budget cannot hold is refused with the out-of-memory error.
    TInt32 addTimer(TInt32 listener, TUint32 delay);
    // The removed timer's listener, or 0 when no timer has that number.
    TInt32 removeTimer(TInt32 id);
    void updateDelay(TInt32 id, TUint32 delay);
    const Timer* find(TInt32 id) const;
    TInt32 count() const { return TInt32(timers_.size()); }

    // From now on timers wait on `now` (virtual milliseconds): a timer is due
    // one period after it was added or re-timed, then every period; a period
    // below 1 ms counts as 1 ms, so that virtual time always moves on.
    // `changed` is told when a timer is added or re-timed (the clock may
    // have to wake sooner).
    void setSteppedClock(std::function<TInt64()> now, std::function<void()> changed = nullptr);
    bool stepped() const { return bool(now_); }
    // The time of the earliest due timer; none without timers.
    std::optional<TInt64> nextDue() const;
    // Fires the earliest due timer after arming its next period (in order of
    // due time, then of arming: timers due together fire in turn).
    void fireNext();

private:
    Timer* findTimer(TInt32 id) const;
    void armFrom(Timer& t, TInt64 from);

    VirtualMachine* vm_ = nullptr;
    std::vector<std::unique_ptr<Timer>> timers_;
    std::function<TInt64()> now_;
    std::function<void()> changed_;
    TUint64 armings_ = 0;
};

}  // namespace mcb
