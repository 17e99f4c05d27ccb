#include "platform/events.h"

#include <chrono>
#include <thread>

namespace platform {

void CEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    cv_.notify_all();
}

void CEvent::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

uint32_t CEvent::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    // A poll never blocks: a timed wait that is already due still sleeps for the timer slack.
    if (timeoutMs == 0 && !signalled_) {
        return WAIT_TIMEOUT;
    }
    if (timeoutMs == INFINITE) {
        cv_.wait(lock, [this] { return signalled_; });
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return signalled_; })) {
        return WAIT_TIMEOUT;
    }
    signalled_ = false;
    return WAIT_OBJECT_0;
}

namespace {

class SteadyClock : public Clock {
public:
    uint32_t GetTickCount() override {
        auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }

    bool SleepOrWake(uint32_t ms, CEvent* wake) override {
        if (wake == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return false;
        }
        return wake->Wait(ms) == WAIT_OBJECT_0;
    }
};

}  // namespace

Clock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace platform
