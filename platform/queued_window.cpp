#include "platform/queued_window.h"

#include <chrono>

namespace platform {

LRESULT QueuedMessageWindow::WindowProc(unsigned message, WPARAM wParam, LPARAM lParam) {
    return handler_ ? handler_(message, wParam, lParam) : 0;
}

LRESULT QueuedMessageWindow::SendFromOtherThread(unsigned message, WPARAM wParam, LPARAM lParam) {
    Pending p{message, wParam, lParam};
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.push_back(&p);
    cv_.notify_all();
    cv_.wait(lock, [&] { return p.done; });
    return p.result;
}

bool QueuedMessageWindow::ProcessOne(uint32_t ms) {
    Pending* p = nullptr;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        // With ms 0 nothing waits (a timed wait that is already due still sleeps a little).
        if (queue_.empty() && (ms == 0 || !cv_.wait_for(lock, std::chrono::milliseconds(ms),
                                                        [&] { return !queue_.empty(); }))) {
            return false;
        }
        p = queue_.front();
        queue_.pop_front();
    }
    LRESULT result = WindowProc(p->message, p->wParam, p->lParam);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        p->result = result;
        p->done = true;
    }
    cv_.notify_all();
    return true;
}

int QueuedMessageWindow::ProcessPending() {
    int n = 0;
    while (ProcessOne(0)) {
        ++n;
    }
    return n;
}

void QueuedMessageWindow::WaitHandlingSends(CEvent* done) {
    while (done->Wait(0) != WAIT_OBJECT_0) {
        ProcessOne(2);
    }
}

}  // namespace platform
