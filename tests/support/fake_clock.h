// A deterministic clock for the playback schedule: time moves only when the playback thread
// sleeps or a test advances it, so every frame's due time can be checked exactly.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/events.h"

namespace testing_support {

class FakeClock : public platform::Clock {
public:
    explicit FakeClock(uint32_t start = 1000) : now_(start) {}

    uint32_t GetTickCount() override { return now_.load(); }

    // Records the request. A wake event that is already set ends the sleep at once (no time
    // passes); otherwise time moves on by ms. While sleeps are held, the sleep blocks until wake
    // is set (time stands still: the stop came at once) or the hold is released (time moves on
    // by ms).
    bool SleepOrWake(uint32_t ms, platform::CEvent* wake) override {
        std::unique_lock<std::mutex> lock(mutex_);
        sleeps_.push_back(ms);
        ++sleeping_;
        cv_.notify_all();
        bool woken = false;
        for (;;) {
            if (wake != nullptr && wake->Wait(0) == platform::WAIT_OBJECT_0) {
                woken = true;
                break;
            }
            if (!hold_) {
                break;
            }
            cv_.wait_for(lock, std::chrono::milliseconds(1));
        }
        --sleeping_;
        if (!woken) {
            now_ += ms;
        }
        return woken;
    }

    // Moves time on, as work on the user-interface thread would (wraps like the tick count).
    void Advance(uint32_t ms) { now_ += ms; }
    void Set(uint32_t now) { now_ = now; }

    // Every sleep requested so far, in milliseconds.
    std::vector<uint32_t> Sleeps() {
        std::lock_guard<std::mutex> lock(mutex_);
        return sleeps_;
    }

    void HoldSleeps(bool hold) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            hold_ = hold;
        }
        cv_.notify_all();
    }

    // Waits until a thread is inside a sleep (meaningful while sleeps are held).
    bool WaitUntilSleeping(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, limit, [&] { return sleeping_ > 0; });
    }

private:
    std::atomic<uint32_t> now_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<uint32_t> sleeps_;
    bool hold_ = false;
    int sleeping_ = 0;
};

}  // namespace testing_support
