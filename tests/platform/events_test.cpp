#include "platform/events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using platform::CEvent;
using platform::INFINITE;
using platform::WAIT_OBJECT_0;
using platform::WAIT_TIMEOUT;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(Event, StartsClearAndASuccessfulWaitClearsIt) {
    auto e = platform::CreateEvent();
    EXPECT_EQ(platform::WaitForSingleObject(e.get(), 0), WAIT_TIMEOUT);
    platform::SetEvent(e.get());
    platform::SetEvent(e.get());  // two sets before a wait are one signal
    EXPECT_EQ(platform::WaitForSingleObject(e.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(platform::WaitForSingleObject(e.get(), 0), WAIT_TIMEOUT);
}

TEST(Event, ResetClearsASignal) {
    CEvent e;
    e.Set();
    e.Reset();
    EXPECT_EQ(e.Wait(0), WAIT_TIMEOUT);
    e.Reset();
    EXPECT_EQ(e.Wait(0), WAIT_TIMEOUT);
}

TEST(Event, TimedWaitTimesOut) {
    CEvent e;
    const auto start = steady_clock::now();
    EXPECT_EQ(e.Wait(20), WAIT_TIMEOUT);
    EXPECT_GE(steady_clock::now() - start, milliseconds(20));
}

TEST(Event, SetFromAnotherThreadEndsAWait) {
    for (uint32_t timeout : {INFINITE, uint32_t(60000)}) {
        CEvent e;
        std::thread setter([&] {
            std::this_thread::sleep_for(milliseconds(10));
            e.Set();
        });
        EXPECT_EQ(e.Wait(timeout), WAIT_OBJECT_0);
        setter.join();
        EXPECT_EQ(e.Wait(0), WAIT_TIMEOUT);
    }
}

TEST(Event, OneSignalReleasesOneOfTwoWaiters) {
    CEvent e;
    std::atomic<int> released{0};
    auto waiter = [&] {
        if (e.Wait(INFINITE) == WAIT_OBJECT_0) {
            ++released;
        }
    };
    std::thread a(waiter), b(waiter);
    e.Set();
    while (released.load() == 0) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(released.load(), 1);
    e.Set();
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 2);
}

TEST(SystemClock, TicksAreMillisecondsAndMoveForward) {
    platform::Clock& clock = platform::SystemClock();
    const uint32_t t0 = clock.GetTickCount();
    std::this_thread::sleep_for(milliseconds(30));
    const uint32_t elapsed = clock.GetTickCount() - t0;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 30000u);
}

TEST(SystemClock, SleepRunsItsTimeWithoutAWake) {
    platform::Clock& clock = platform::SystemClock();
    CEvent wake;
    const auto start = steady_clock::now();
    EXPECT_FALSE(clock.SleepOrWake(20, &wake));
    EXPECT_FALSE(clock.SleepOrWake(5, nullptr));
    EXPECT_GE(steady_clock::now() - start, milliseconds(25));
}

TEST(SystemClock, WakeAlreadySetEndsTheSleepAtOnceAndIsCleared) {
    platform::Clock& clock = platform::SystemClock();
    CEvent wake;
    wake.Set();
    const auto start = steady_clock::now();
    EXPECT_TRUE(clock.SleepOrWake(60000, &wake));
    EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(wake.Wait(0), WAIT_TIMEOUT);
}

TEST(SystemClock, WakeFromAnotherThreadEndsALongSleep) {
    platform::Clock& clock = platform::SystemClock();
    CEvent wake;
    std::thread waker([&] {
        std::this_thread::sleep_for(milliseconds(20));
        wake.Set();
    });
    const auto start = steady_clock::now();
    EXPECT_TRUE(clock.SleepOrWake(60000, &wake));
    EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(30));
    waker.join();
}

}  // namespace
