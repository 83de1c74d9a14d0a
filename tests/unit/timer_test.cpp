#include "platform/debugassert.h"
#include "platform/timer.h"
#include "platform/win32timer.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
int64_t s_now = 0;
class FakeClock : public testing::Test {
protected:
    void SetUp() override {
        s_now = 1000000000;
        Win32Timer::SetTickSourceForTests([] { return s_now; });
    }
    void TearDown() override { Win32Timer::SetTickSourceForTests({}); }
    static void advanceMs(double ms) { s_now += static_cast<int64_t>(ms * 1000000.0); }
};

int listLength() {
    int n = 0;
    for (TimerLink* l = s_timerList; l; l = l->next)
        ++n;
    return n;
}
} // namespace

TEST_F(FakeClock, PausedTimeIsNotCounted) {
    std::unique_ptr<Timer> t(CreateTimer());
    EXPECT_NEAR(t->Elapsed(), 0.0, 1e-6);
    advanceMs(100);
    t->Pause();
    const double frozen = t->Elapsed();
    advanceMs(500);
    EXPECT_DOUBLE_EQ(t->Elapsed(), frozen);
    t->Resume();
    advanceMs(50);
    EXPECT_NEAR(t->Elapsed(), 150.0, 0.01);
    t->Reset();
    EXPECT_NEAR(t->Elapsed(), 0.0, 0.01);
}

TEST_F(FakeClock, NestedPausesNeedAsManyResumes) {
    std::unique_ptr<Timer> t(CreateTimer());
    advanceMs(10);
    PauseAllTimers();
    t->Pause();
    ResumeAllTimers();
    advanceMs(90);
    EXPECT_NEAR(t->Elapsed(), 10.0, 0.01); // still paused once
    t->Resume();
    advanceMs(5);
    EXPECT_NEAR(t->Elapsed(), 15.0, 0.01);

    DebugAssertReset();
    testing::internal::CaptureStderr();
    t->Resume(); // a resume too many is reported and changes nothing
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(DebugAssertLastExpression(), "m_pauseCount > 0");
    advanceMs(5);
    EXPECT_NEAR(t->Elapsed(), 20.0, 0.01);
}

TEST_F(FakeClock, TheListStaysConsistentWhateverTheDestructionOrder) {
    const int before = listLength();
    Timer* a = CreateTimer();
    Timer* b = CreateTimer();
    Timer* c = CreateTimer();
    EXPECT_EQ(listLength(), before + 3);
    EXPECT_EQ(s_timerList->timer, c);
    delete c; // the head
    EXPECT_EQ(s_timerList->timer, b);
    delete a; // the tail
    EXPECT_EQ(listLength(), before + 1);
    delete b;
    EXPECT_EQ(listLength(), before);
    // Pausing everything still reaches the survivors only.
    std::unique_ptr<Timer> d(CreateTimer());
    PauseAllTimers();
    advanceMs(40);
    EXPECT_NEAR(d->Elapsed(), 0.0, 0.01);
    ResumeAllTimers();
}
