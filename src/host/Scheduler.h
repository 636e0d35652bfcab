// Scheduler: the application's repeating system timers, one Qt timer each.
// Every period calls "<systemtimerlistener>.systemtimerevent" on the listener.
#pragma once

#include "foundation/Types.h"

#include <QObject>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

class VirtualMachine;

class Timer : public QObject {
    Q_OBJECT
public:
    Timer(VirtualMachine* vm, TInt32 listener, TUint32 delay);
    TInt32 id() const { return id_; }
    TInt32 listener() const { return listener_; }
    void setDelay(TUint32 delay) { qtimer_->setInterval(int(std::min<TUint32>(delay, 0x7FFFFFFF))); }
    int interval() const { return qtimer_->interval(); }
    void stop() { qtimer_->stop(); }

public slots:
    void timeout();

private:
    TInt32 listener_;
    TInt32 id_;
    QTimer* qtimer_;
    VirtualMachine* vm_;
};

class Scheduler {
public:
    void setVm(VirtualMachine* vm) { vm_ = vm; }
    // The new timer's number (10, 11, ... never reused).
    TInt32 addTimer(TInt32 listener, TUint32 delay);
    // The removed timer's listener, or 0 when no timer has that number.
    TInt32 removeTimer(TInt32 id);
    void updateDelay(TInt32 id, TUint32 delay);
    const Timer* find(TInt32 id) const;
    TInt32 count() const { return TInt32(timers_.size()); }

private:
    VirtualMachine* vm_ = nullptr;
    std::vector<std::unique_ptr<Timer>> timers_;
};
