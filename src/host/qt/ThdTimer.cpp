// The threaded timer: a worker that waits out the interval and hands each tick to the GUI
// thread, and the component around it with the enable, interval and destroy rules.
#include "host/qt/ThdTimer.h"

#include <QMetaObject>

#include <chrono>

// --- TTimerThread ---------------------------------------------------------------------------

TTimerThread::TTimerThread(TThreadedTimer* owner) : Owner(owner) {}

TTimerThread::~TTimerThread() {
    Terminate();
    wait();
}

uint32_t TTimerThread::Interval() const {
    std::lock_guard guard(Lock);
    return IntervalMs;
}

void TTimerThread::SetInterval(uint32_t ms) {
    std::lock_guard guard(Lock);
    IntervalMs = ms;
}

void TTimerThread::SignalStop() {
    {
        std::lock_guard guard(Lock);
        StopEvent = true;
    }
    Wake.notify_all();
}

void TTimerThread::Suspend() {
    {
        std::lock_guard guard(Lock);
        Parked = true;
    }
    Wake.notify_all();
}

bool TTimerThread::Resume() {
    {
        std::lock_guard guard(Lock);
        if (!Parked) return false;
        Parked = false;
        ++Resumes;
    }
    Wake.notify_all();
    return true;
}

bool TTimerThread::Suspended() const {
    std::lock_guard guard(Lock);
    return Parked;
}

void TTimerThread::Terminate() {
    {
        std::lock_guard guard(Lock);
        Terminated = true;
    }
    Wake.notify_all();
}

int TTimerThread::ResumeCount() const {
    std::lock_guard guard(Lock);
    return Resumes;
}

void TTimerThread::TickDone() {
    {
        std::lock_guard guard(Lock);
        TickPending = false;
    }
    Wake.notify_all();
}

void TTimerThread::run() {
    std::unique_lock lock(Lock);
    for (;;) {
        // Parked while the timer is disabled.
        Wake.wait(lock, [this] { return !Parked || Terminated; });
        if (Terminated) break;

        // Wait on the stop event with the interval as time-out. Parking also ends the wait, so
        // a disabled timer produces no tick and the next enable starts a fresh interval.
        const bool woken = Wake.wait_for(lock, std::chrono::milliseconds(IntervalMs),
                                         [this] { return StopEvent || Parked || Terminated; });
        if (StopEvent) {
            StopEvent = false; // auto-reset: the signal is consumed by the wait it ended
        } else if (!woken) {
            // Timed out: hand the tick to the GUI thread and wait until it has been dispatched.
            TickPending = true;
            lock.unlock();
            TThreadedTimer* owner = Owner;
            QMetaObject::invokeMethod(
                owner, [owner] { owner->Dispatch(); }, Qt::QueuedConnection);
            lock.lock();
            Wake.wait(lock, [this] { return !TickPending || Terminated; });
        }
        if (Terminated) break;
    }
}

// --- TThreadedTimer -------------------------------------------------------------------------

TThreadedTimer::TThreadedTimer(QObject* owner) : QObject(owner), Thread(new TTimerThread(this)) {
    Thread->start(Priority); // starts parked: the suspended state of a new worker
}

TThreadedTimer::~TThreadedTimer() {
    EnabledValue = false; // the stored value only; the worker is not parked for this
    Destroying = true;
    Thread->Terminate();
    Thread->SignalStop();
    if (Thread->Suspended()) Thread->Resume();
    Thread->wait();
    delete Thread;
    // A tick posted but not yet dispatched is discarded with this object's posted events.
}

void TThreadedTimer::SetEnabled(bool value) {
    if (value == EnabledValue) return;
    EnabledValue = value;
    if (!value) {
        Thread->Suspend();
    } else if (Thread->Interval() > 0 || AllowZeroValue) {
        Thread->SignalStop();
        Thread->Resume();
    }
    // Otherwise (interval 0 without AllowZero) the worker stays parked although Enabled is true.
}

void TThreadedTimer::SetInterval(uint32_t ms) {
    if (ms == Thread->Interval()) return;
    const bool wasEnabled = EnabledValue;
    SetEnabled(false);
    Thread->SetInterval(ms);
    SetEnabled(wasEnabled);
}

void TThreadedTimer::SetThreadPriority(QThread::Priority priority) {
    Priority = priority;
    Thread->setPriority(priority);
}

void TThreadedTimer::Dispatch() {
    if (EnabledValue && OnTimerValue && !Destroying) {
        try {
            OnTimerValue(this);
        } catch (...) {
            // A failing handler must not stop the timer; the error is dropped.
        }
    }
    Thread->TickDone();
}
