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
    TThreadedTimer* Owner;
    mutable std::mutex Lock;
    std::condition_variable Wake;
    uint32_t IntervalMs = 1000;
    bool StopEvent = false;   // the auto-reset stop event
    bool Parked = true;       // created suspended
    bool Terminated = false;  // told to end
    bool TickPending = false; // a tick handed to the GUI thread and not yet dispatched
    int Resumes = 0;
};

class TThreadedTimer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(TThreadedTimer* sender)>;

    explicit TThreadedTimer(QObject* owner = nullptr);
    ~TThreadedTimer() override;

    bool AllowZero() const { return AllowZeroValue; }
    void SetAllowZero(bool value) { AllowZeroValue = value; }
    bool Enabled() const { return EnabledValue; }
    void SetEnabled(bool value);
    uint32_t Interval() const { return Thread->Interval(); }
    void SetInterval(uint32_t ms);
    const Handler& OnTimer() const { return OnTimerValue; }
    void SetOnTimer(Handler handler) { OnTimerValue = std::move(handler); }
    QThread::Priority ThreadPriority() const { return Priority; }
    void SetThreadPriority(QThread::Priority priority);

    // The worker, exposed for diagnostics and tests.
    const TTimerThread& Worker() const { return *Thread; }

private:
    friend class TTimerThread;
    // Runs on the GUI thread for each tick the worker hands over.
    void Dispatch();

    bool AllowZeroValue = false;
    bool EnabledValue = false;
    bool Destroying = false;
    Handler OnTimerValue;
    QThread::Priority Priority = QThread::NormalPriority;
    TTimerThread* Thread;
};
