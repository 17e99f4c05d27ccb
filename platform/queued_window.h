// A message window without a toolkit: sends from other threads wait in a queue that the owner
// thread answers while it waits. Used by the headless renderer and the tests.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/messages.h"

namespace platform {

class QueuedMessageWindow : public MessageWindow {
public:
    using Handler = std::function<LRESULT(unsigned, WPARAM, LPARAM)>;
    explicit QueuedMessageWindow(Handler handler = {}) : handler_(std::move(handler)) {}

    LRESULT WindowProc(unsigned message, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendFromOtherThread(unsigned message, WPARAM wParam, LPARAM lParam) override;
    void WaitHandlingSends(CEvent* done) override;
    // Answers the sends already waiting; returns how many ran.
    int ProcessPending();
    // Answers sends for up to ms milliseconds or until one arrives and has been answered.
    bool ProcessOne(uint32_t ms);

private:
    struct Pending {
        unsigned message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result = 0;
        bool done = false;
    };
    Handler handler_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Pending*> queue_;
};

}  // namespace platform
