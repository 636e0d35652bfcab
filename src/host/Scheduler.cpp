// Timers and the scheduler that owns them.
#include "host/Scheduler.h"

#include "host/HostProcess.h"
#include "vm/VirtualMachine.h"

#include <algorithm>

namespace {
// Numbers 0 to 9 are never handed out, so 0 can stand for "no timer".
TInt32 gNextTimerId = 10;
}  // namespace

Timer::Timer(VirtualMachine* vm, TInt32 listener, TUint32 delay)
    : listener_(listener), id_(gNextTimerId++), qtimer_(new QTimer(this)), vm_(vm) {
    connect(qtimer_, &QTimer::timeout, this, &Timer::timeout);
    setDelay(delay);
    qtimer_->start();
}

void Timer::timeout() {
    VirtualMachine* vm = vm_;
    TInt32 listener = listener_;  // the call may remove this very timer
    host::callVm([vm, listener] { vm->systemTimer(VMAddr(listener)); });
}

TInt32 Scheduler::addTimer(TInt32 listener, TUint32 delay) {
    if (!vm_) vmerr::raise(vmerr::VM, "vm != 0");
    timers_.push_back(std::make_unique<Timer>(vm_, listener, delay));
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
    for (auto& t : timers_)
        if (t->id() == id) return t->setDelay(delay);
}

const Timer* Scheduler::find(TInt32 id) const {
    for (auto& t : timers_)
        if (t->id() == id) return t.get();
    return nullptr;
}
