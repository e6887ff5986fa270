// A timer whose ticks are measured by a worker thread while its handler runs on the GUI thread.
// The worker waits out the interval on a stop event and hands every tick over synchronously:
// it waits until the GUI thread has run the handler before it starts the next wait, so ticks
// never overlap and never queue up more than one deep.
#pragma once

#include <QObject>
#include <QThread>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class TThreadedTimer;

// The worker. While the timer is disabled it is parked on a condition (the portable stand-in
// for a suspended thread): it produces no tick and starts a fresh wait when it is resumed.
class TTimerThread : public QThread {
    Q_OBJECT
public:
    explicit TTimerThread(TThreadedTimer* owner);
    ~TTimerThread() override;

    uint32_t Interval() const;
    void SetInterval(uint32_t ms);

    // The stop event: auto-reset, created not signalled.
    void SignalStop();
    // Park and unpark the worker; Resume returns false if it was not parked.
    void Suspend();
    bool Resume();
    bool Suspended() const;
    // Tell the worker to leave its loop at the next chance (also ends a parked or handing-over
    // worker).
    void Terminate();

    // Number of times the worker was unparked, for diagnostics and tests.
    int ResumeCount() const;
    // Called on the GUI thread when the handed-over tick has been dispatched.
    void TickDone();

protected:
    void run() override;

private:
    TThreadedTimer* m_owner;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    uint32_t m_interval = 1000;
    bool m_stopEvent = false;   // the auto-reset stop event
    bool m_parked = true;       // created suspended
    bool m_terminated = false;  // told to end
    bool m_tickPending = false; // a tick handed to the GUI thread and not yet dispatched
    int m_resumes = 0;
};

class TThreadedTimer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(TThreadedTimer* sender)>;

    explicit TThreadedTimer(QObject* owner = nullptr);
    ~TThreadedTimer() override;

    bool AllowZero() const { return m_allowZero; }
    void SetAllowZero(bool value) { m_allowZero = value; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    uint32_t Interval() const { return m_thread->Interval(); }
    void SetInterval(uint32_t ms);
    const Handler& OnTimer() const { return m_onTimer; }
    void SetOnTimer(Handler handler) { m_onTimer = std::move(handler); }
    QThread::Priority ThreadPriority() const { return m_priority; }
    void SetThreadPriority(QThread::Priority priority);

    // The worker, exposed for diagnostics and tests.
    const TTimerThread& Worker() const { return *m_thread; }

private:
    friend class TTimerThread;
    // Runs on the GUI thread for each tick the worker hands over.
    void Dispatch();

    bool m_allowZero = false;
    bool m_enabled = false;
    bool m_destroying = false;
    Handler m_onTimer;
    QThread::Priority m_priority = QThread::NormalPriority;
    TTimerThread* m_thread;
};
