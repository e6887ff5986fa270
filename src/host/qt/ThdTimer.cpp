// The threaded timer: a worker that waits out the interval and hands each tick to the GUI
// thread, and the component around it with the enable, interval and destroy rules.
#include "host/qt/ThdTimer.h"

#include <QMetaObject>

#include <chrono>

// --- TTimerThread ---------------------------------------------------------------------------

TTimerThread::TTimerThread(TThreadedTimer* owner) : m_owner(owner) {}

TTimerThread::~TTimerThread() {
    Terminate();
    wait();
}

uint32_t TTimerThread::Interval() const {
    std::lock_guard guard(m_lock);
    return m_interval;
}

void TTimerThread::SetInterval(uint32_t ms) {
    std::lock_guard guard(m_lock);
    m_interval = ms;
}

void TTimerThread::SignalStop() {
    {
        std::lock_guard guard(m_lock);
        m_stopEvent = true;
    }
    m_wake.notify_all();
}

void TTimerThread::Suspend() {
    {
        std::lock_guard guard(m_lock);
        m_parked = true;
    }
    m_wake.notify_all();
}

bool TTimerThread::Resume() {
    {
        std::lock_guard guard(m_lock);
        if (!m_parked) return false;
        m_parked = false;
        ++m_resumes;
    }
    m_wake.notify_all();
    return true;
}

bool TTimerThread::Suspended() const {
    std::lock_guard guard(m_lock);
    return m_parked;
}

void TTimerThread::Terminate() {
    {
        std::lock_guard guard(m_lock);
        m_terminated = true;
    }
    m_wake.notify_all();
}

int TTimerThread::ResumeCount() const {
    std::lock_guard guard(m_lock);
    return m_resumes;
}

void TTimerThread::TickDone() {
    {
        std::lock_guard guard(m_lock);
        m_tickPending = false;
    }
    m_wake.notify_all();
}

void TTimerThread::run() {
    std::unique_lock lock(m_lock);
    for (;;) {
        // m_parked while the timer is disabled.
        m_wake.wait(lock, [this] { return !m_parked || m_terminated; });
        if (m_terminated) break;

        // Wait on the stop event with the interval as time-out. Parking also ends the wait, so
        // a disabled timer produces no tick and the next enable starts a fresh interval.
        const bool woken = m_wake.wait_for(lock, std::chrono::milliseconds(m_interval), [this] {
            return m_stopEvent || m_parked || m_terminated;
        });
        if (m_stopEvent) {
            m_stopEvent = false; // auto-reset: the signal is consumed by the wait it ended
        } else if (!woken) {
            // Timed out: hand the tick to the GUI thread and wait until it has been dispatched.
            m_tickPending = true;
            lock.unlock();
            TThreadedTimer* owner = m_owner;
            QMetaObject::invokeMethod(
                owner, [owner] { owner->Dispatch(); }, Qt::QueuedConnection);
            lock.lock();
            m_wake.wait(lock, [this] { return !m_tickPending || m_terminated; });
        }
        if (m_terminated) break;
    }
}

// --- TThreadedTimer -------------------------------------------------------------------------

TThreadedTimer::TThreadedTimer(QObject* owner) : QObject(owner), m_thread(new TTimerThread(this)) {
    m_thread->start(m_priority); // starts parked: the suspended state of a new worker
}

TThreadedTimer::~TThreadedTimer() {
    m_enabled = false; // the stored value only; the worker is not parked for this
    m_destroying = true;
    m_thread->Terminate();
    m_thread->SignalStop();
    if (m_thread->Suspended()) m_thread->Resume();
    m_thread->wait();
    delete m_thread;
    // A tick posted but not yet dispatched is discarded with this object's posted events.
}

void TThreadedTimer::SetEnabled(bool value) {
    if (value == m_enabled) return;
    m_enabled = value;
    if (!value) {
        m_thread->Suspend();
    } else if (m_thread->Interval() > 0 || m_allowZero) {
        m_thread->SignalStop();
        m_thread->Resume();
    }
    // Otherwise (interval 0 without AllowZero) the worker stays parked although Enabled is true.
}

void TThreadedTimer::SetInterval(uint32_t ms) {
    if (ms == m_thread->Interval()) return;
    const bool wasEnabled = m_enabled;
    SetEnabled(false);
    m_thread->SetInterval(ms);
    SetEnabled(wasEnabled);
}

void TThreadedTimer::SetThreadPriority(QThread::Priority priority) {
    m_priority = priority;
    m_thread->setPriority(priority);
}

void TThreadedTimer::Dispatch() {
    if (m_enabled && m_onTimer && !m_destroying) {
        try {
            m_onTimer(this);
        } catch (...) {
            // A failing handler must not stop the timer; the error is dropped.
        }
    }
    m_thread->TickDone();
}
