// The threaded timer: ticks on the GUI thread, the enable, interval and destroy rules.
#include "host/qt/ThdTimer.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>

namespace {

// Lets the event loop run for a while; only absence of ticks is judged after it.
void Idle(int ms) {
    QTest::qWait(ms);
}

TEST(ThreadedTimer, StartsWithItsDefaults) {
    TThreadedTimer timer;
    EXPECT_FALSE(timer.AllowZero());
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_FALSE(timer.OnTimer());
    EXPECT_EQ(timer.ThreadPriority(), QThread::NormalPriority);
    EXPECT_TRUE(timer.Worker().Suspended());
    EXPECT_EQ(timer.Worker().ResumeCount(), 0);
}

TEST(ThreadedTimer, TicksRunOnTheGuiThreadWithTheTimerAsSender) {
    TThreadedTimer timer;
    int ticks = 0;
    bool onGuiThread = true;
    TThreadedTimer* sender = nullptr;
    timer.SetInterval(2);
    timer.SetOnTimer([&](TThreadedTimer* s) {
        ++ticks;
        sender = s;
        onGuiThread &= QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    timer.SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 5000));
    EXPECT_TRUE(onGuiThread);
    EXPECT_EQ(sender, &timer);
}

TEST(ThreadedTimer, EnablingTwiceResumesTheWorkerOnce) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.SetInterval(2);
    timer.SetOnTimer([&](TThreadedTimer*) { ++ticks; });
    timer.SetEnabled(true);
    timer.SetEnabled(true);
    EXPECT_EQ(timer.Worker().ResumeCount(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 5000));
    EXPECT_EQ(timer.Worker().ResumeCount(), 1);
}

TEST(ThreadedTimer, NoTickWhileDisabled) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.SetInterval(1);
    timer.SetOnTimer([&](TThreadedTimer*) { ++ticks; });
    timer.SetEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 5000));
    timer.SetEnabled(false);
    EXPECT_TRUE(timer.Worker().Suspended());
    const int atDisable = ticks;
    Idle(60);
    EXPECT_EQ(ticks, atDisable) << "a tick handed over before disabling is dropped";
    timer.SetEnabled(true);
    EXPECT_EQ(timer.Worker().ResumeCount(), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks > atDisable; }, 5000));
}

TEST(ThreadedTimer, IntervalZeroWithoutAllowZeroGivesNoTicks) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.SetInterval(0);
    timer.SetOnTimer([&](TThreadedTimer*) { ++ticks; });
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_TRUE(timer.Worker().Suspended());
    EXPECT_EQ(timer.Worker().ResumeCount(), 0);
    Idle(50);
    EXPECT_EQ(ticks, 0);
    // A non-zero interval written now starts it: the interval write re-enables.
    timer.SetInterval(1);
    EXPECT_FALSE(timer.Worker().Suspended());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 1; }, 5000));
}

TEST(ThreadedTimer, IntervalZeroWithAllowZeroTicksAsFastAsTheGuiRunsThem) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.SetAllowZero(true);
    timer.SetInterval(0);
    timer.SetOnTimer([&](TThreadedTimer*) { ++ticks; });
    timer.SetEnabled(true);
    EXPECT_FALSE(timer.Worker().Suspended());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 50; }, 10000));
}

TEST(ThreadedTimer, AThrowingHandlerDoesNotStopTheTimer) {
    TThreadedTimer timer;
    int calls = 0;
    timer.SetInterval(1);
    timer.SetOnTimer([&](TThreadedTimer*) {
        ++calls;
        if (calls % 2 == 1) throw std::runtime_error("handler failed");
    });
    timer.SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls >= 5; }, 5000));
    EXPECT_TRUE(timer.Enabled());
}

TEST(ThreadedTimer, ChangingTheIntervalOfARunningTimerRestartsItsWait) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.SetInterval(60000);
    timer.SetOnTimer([&](TThreadedTimer*) { ++ticks; });
    timer.SetEnabled(true);
    EXPECT_EQ(timer.Worker().ResumeCount(), 1);
    timer.SetInterval(60000); // the same value: nothing happens
    EXPECT_EQ(timer.Worker().ResumeCount(), 1);
    timer.SetInterval(1);
    EXPECT_EQ(timer.Worker().ResumeCount(), 2);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 1; }, 5000));
    // On a disabled timer the interval is only stored.
    timer.SetEnabled(false);
    timer.SetInterval(5);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_TRUE(timer.Worker().Suspended());
    EXPECT_EQ(timer.Worker().ResumeCount(), 2);
}

TEST(ThreadedTimer, ThePriorityIsForwardedToTheWorker) {
    TThreadedTimer timer;
    timer.SetThreadPriority(QThread::HighPriority);
    EXPECT_EQ(timer.ThreadPriority(), QThread::HighPriority);
    EXPECT_EQ(timer.Worker().priority(), QThread::HighPriority);
}

TEST(ThreadedTimer, DestroyingEndsTheWorkerCleanly) {
    struct Case {
        bool everEnabled, enabledAtEnd;
    };
    const Case cases[] = {{false, false}, {true, false}, {true, true}};
    for (const Case& c : cases) {
        auto timer = std::make_unique<TThreadedTimer>();
        auto finished = std::make_shared<std::atomic<int>>(0);
        QObject::connect(&timer->Worker(), &QThread::finished, [finished] { ++*finished; });
        int ticks = 0;
        timer->SetInterval(1);
        timer->SetOnTimer([&](TThreadedTimer*) { ++ticks; });
        if (c.everEnabled) {
            timer->SetEnabled(true);
            ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 1; }, 5000));
            timer->SetEnabled(c.enabledAtEnd);
        }
        const int before = ticks;
        timer.reset();
        EXPECT_EQ(finished->load(), 1) << "enabled " << c.everEnabled << c.enabledAtEnd;
        Idle(20); // a tick posted before the destruction must not reach the handler
        EXPECT_EQ(ticks, before);
    }
}

} // namespace
