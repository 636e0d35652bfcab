// Stepped time: the order of timer periods and inputs, paced by the wall clock.
#include "host/EventClock.h"

#include "host/HostProcess.h"

#include <algorithm>

namespace mcb {

EventClock::EventClock(Scheduler& timers, Hooks hooks) : timers_(timers), hooks_(std::move(hooks)) {
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, &EventClock::step);
}

void EventClock::start() {
    real_.start();
    started_ = true;
    timers_.setSteppedClock([this] { return now_; }, [this] { wakeIn(0); });
    wakeIn(0);
}

TInt64 EventClock::readForApplication() {
    if (++readsThisStep_ % 1000 == 0) ++now_;
    return now_;
}

void EventClock::post(InputEvent e) {
    if (replaying_) return;
    // Never before an event already delivered: the replay must meet it in the same place.
    e.time = std::max<TInt64>({real_.isValid() ? TInt64(real_.elapsed()) : 0, now_, lastStamp_});
    lastStamp_ = e.time;
    inputs_.push_back(std::move(e));
    if (started_) wakeIn(0);
}

void EventClock::setScript(const std::vector<InputEvent>& events) {
    replaying_ = true;
    inputs_.clear();
    for (const InputEvent& e : events)
        if (e.kind != InputEvent::Frame) inputs_.push_back(e);
    if (inputs_.empty() || inputs_.back().kind != InputEvent::End) {
        InputEvent end = InputEvent::end();
        end.time = inputs_.empty() ? 0 : inputs_.back().time;
        inputs_.push_back(end);
    }
}

void EventClock::wakeIn(TInt64 ms) { wake_.start(int(std::min<TInt64>(ms, 1 << 30))); }

// One event per pass of Qt's event loop, so that the window, the sound server
// and live input are served between them. Timers due at an input's time fire
// before it.
void EventClock::step() {
    if (host::ending()) return;  // a fatal end is on its way: the script's end must not report success
    readsThisStep_ = 0;
    const std::optional<TInt64> due = timers_.nextDue();
    const bool inputFirst = !inputs_.empty() && (!due || inputs_.front().time < *due);
    if (!due && inputs_.empty()) return;  // idle until an input comes
    const TInt64 at = inputFirst ? inputs_.front().time : *due;
    const TInt64 real = real_.elapsed();
    if (at > real) return wakeIn(at - real);
    now_ = std::max(now_, at);
    if (inputFirst) {
        InputEvent e = std::move(inputs_.front());
        inputs_.pop_front();
        if (e.kind == InputEvent::End) {  // the end line is written by whoever ends the run
            if (hooks_.scriptEnded) hooks_.scriptEnded();
            return;
        }
        if (recorder_) recorder_->write(e);
        hooks_.apply(e);
    } else {
        timers_.fireNext();
    }
    if (hooks_.afterStep) hooks_.afterStep();
    wakeIn(0);
}

}  // namespace mcb
