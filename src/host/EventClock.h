// EventClock: stepped time. Under --headless, --frames, --record and --replay
// the player runs the application one event at a time in order of a virtual
// clock (milliseconds since start): timer periods and input events, each
// followed at once by the frame the application asked for. The clock never
// runs ahead of the wall clock, so the run keeps its pace, but what the
// application sees depends only on the virtual times: a replayed run computes
// and paints what the recorded run did. docs/recording.md describes the rules.
#pragma once

#include "host/Recording.h"
#include "host/Scheduler.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

namespace mcb {

class EventClock : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void(const InputEvent&)> apply;  // hands one input to the application
        std::function<void()> afterStep;               // draws the frame it asked for
        std::function<void()> scriptEnded;             // a replay reached its end
    };

    EventClock(Scheduler& timers, Hooks hooks);

    // Time 0 is now; the timers go over to this clock.
    void start();
    bool started() const { return started_; }
    // The virtual time of the current event.
    TInt64 now() const { return now_; }
    // The time as the application's clock services read it: now(), moved on by
    // 1 ms every 1000 readings within one event, so that a program waiting in a
    // loop for the clock still gets there.
    TInt64 readForApplication();

    // A live input: stamped with the time it came, delivered in turn. Ignored
    // while a script is replayed.
    void post(InputEvent e);
    // Replay: the inputs come from `events` (frames are left out); the run's
    // own inputs are dropped. A script without an end ends after its last event.
    void setScript(const std::vector<InputEvent>& events);
    bool replaying() const { return replaying_; }
    // Where dispatched inputs are written (null: nowhere).
    void setRecorder(RecordWriter* recorder) { recorder_ = recorder; }

private slots:
    void step();

private:
    void wakeIn(TInt64 ms);

    Scheduler& timers_;
    Hooks hooks_;
    QTimer wake_;
    QElapsedTimer real_;
    std::deque<InputEvent> inputs_;
    RecordWriter* recorder_ = nullptr;
    TInt64 now_ = 0;
    TInt64 lastStamp_ = 0;
    TUint32 readsThisStep_ = 0;
    bool started_ = false;
    bool replaying_ = false;
};

}  // namespace mcb
