// Timers and the scheduler that owns them.
#include "host/Scheduler.h"

#include "host/HostProcess.h"
#include "vm/VirtualMachine.h"

#include <algorithm>

namespace mcb {

namespace {
// Numbers 0 to 9 are never handed out, so 0 can stand for "no timer"; after
// the largest the numbering starts again at 10.
TInt32 gNextTimerId = 10;

TInt32 nextTimerId() {
    const TInt32 id = gNextTimerId;
    gNextTimerId = id == INT32_MAX ? 10 : id + 1;
    return id;
}
}  // namespace

Timer::Timer(VirtualMachine* vm, TInt32 listener, TUint32 delay, BudgetCharge charge, bool stepped)
    : listener_(listener), id_(nextTimerId()), qtimer_(new QTimer(this)), vm_(vm), charge_(std::move(charge)) {
    connect(qtimer_, &QTimer::timeout, this, &Timer::timeout);
    setDelay(delay);
    if (!stepped) qtimer_->start();
}

void Timer::timeout() {
    VirtualMachine* vm = vm_;
    TInt32 listener = listener_;  // the call may remove this very timer
    host::callVm([vm, listener] { vm->systemTimer(VMAddr(listener)); });
}

TInt32 Scheduler::addTimer(TInt32 listener, TUint32 delay) {
    if (!vm_) vmerr::raise(vmerr::msg::NoMachine);
    BudgetCharge charge(Timer::kHostBytes, &vm_->budget());
    MemoryBudget::requireHostMemory(64 << 10);  // Qt's connect does not survive failing to allocate
    timers_.push_back(std::make_unique<Timer>(vm_, listener, delay, std::move(charge), stepped()));
    if (stepped()) armFrom(*timers_.back(), now_());
    return timers_.back()->id();
}

TInt32 Scheduler::removeTimer(TInt32 id) {
    auto it = std::find_if(timers_.begin(), timers_.end(), [id](auto& t) { return t->id() == id; });
    if (it == timers_.end()) return 0;
    TInt32 listener = (*it)->listener();
    // A timer can be removed from its own time-out: Qt must finish that signal first.
    std::unique_ptr<Timer> gone = std::move(*it);
    timers_.erase(it);
    gone->stop();
    gone.release()->deleteLater();
    return listener;
}

void Scheduler::updateDelay(TInt32 id, TUint32 delay) {
    Timer* t = findTimer(id);
    if (!t) return;
    t->setDelay(delay);  // a running Qt timer restarts with the new period
    if (stepped()) armFrom(*t, now_());
}

const Timer* Scheduler::find(TInt32 id) const { return findTimer(id); }

Timer* Scheduler::findTimer(TInt32 id) const {
    for (auto& t : timers_)
        if (t->id() == id) return t.get();
    return nullptr;
}

void Scheduler::setSteppedClock(std::function<TInt64()> now, std::function<void()> changed) {
    now_ = std::move(now);
    changed_ = std::move(changed);
    for (auto& t : timers_) {
        t->stop();
        armFrom(*t, now_());
    }
}

void Scheduler::armFrom(Timer& t, TInt64 from) {
    t.arm(from + std::max(t.interval(), 1), armings_++);
    if (changed_) changed_();
}

std::optional<TInt64> Scheduler::nextDue() const {
    std::optional<TInt64> next;
    for (auto& t : timers_)
        if (!next || t->due() < *next) next = t->due();
    return next;
}

void Scheduler::fireNext() {
    auto earlier = [](auto& a, auto& b) { return a->due() != b->due() ? a->due() < b->due() : a->order() < b->order(); };
    auto it = std::min_element(timers_.begin(), timers_.end(), earlier);
    if (it == timers_.end()) return;
    Timer& t = **it;
    armFrom(t, t.due());
    t.timeout();
}

}  // namespace mcb
