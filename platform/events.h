// Kernel-style synchronisation for the playback thread: auto-reset events, a millisecond tick
// count and a sleep that a stop request can cut short.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace platform {

constexpr uint32_t INFINITE = 0xffffffffu;
constexpr uint32_t WAIT_OBJECT_0 = 0;
constexpr uint32_t WAIT_TIMEOUT = 258;

// Auto-reset event: a successful wait clears it again.
class CEvent {
public:
    void Set();
    void Reset();
    // Waits up to timeoutMs (INFINITE: without limit); returns WAIT_OBJECT_0 when the event was
    // set (and clears it), WAIT_TIMEOUT otherwise.
    uint32_t Wait(uint32_t timeoutMs);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

using EventHandle = std::unique_ptr<CEvent>;

inline EventHandle CreateEvent() {
    return std::make_unique<CEvent>();
}
inline void SetEvent(CEvent* e) {
    e->Set();
}
inline void ResetEvent(CEvent* e) {
    e->Reset();
}
inline uint32_t WaitForSingleObject(CEvent* e, uint32_t timeoutMs) {
    return e->Wait(timeoutMs);
}

// Time as the playback schedule sees it.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps like a 32-bit tick count.
    virtual uint32_t GetTickCount() = 0;
    // Sleeps ms milliseconds, or less when wake is set meanwhile. Returns true when wake ended
    // the sleep (wake is then cleared).
    virtual bool SleepOrWake(uint32_t ms, CEvent* wake) = 0;
};

// The steady system clock.
Clock& SystemClock();

}  // namespace platform
