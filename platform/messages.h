// Synchronous window messages between the playback thread and the window that shows the
// picture. A send from the window's own thread is a direct call; a send from another thread
// is handed to the window's thread and returns after the handler ran there.
#pragma once

#include <cstdint>
#include <thread>

#include "platform/events.h"

namespace platform {

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

constexpr unsigned WM_USER = 0x0400;

class MessageWindow {
public:
    MessageWindow() : owner_(std::this_thread::get_id()) {}
    virtual ~MessageWindow() = default;

    // Handles a message; runs on the window's own thread.
    virtual LRESULT WindowProc(unsigned message, WPARAM wParam, LPARAM lParam) = 0;
    // Runs WindowProc on the window's own thread and returns its result once it has run there.
    virtual LRESULT SendFromOtherThread(unsigned message, WPARAM wParam, LPARAM lParam) = 0;
    // On the window's own thread: answers the sends of other threads (and nothing the user does)
    // until done is set, then clears done.
    virtual void WaitHandlingSends(CEvent* done) = 0;

    bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }

private:
    std::thread::id owner_;
};
using HWND = MessageWindow*;

// Returns after the window has handled the message.
LRESULT SendMessage(HWND window, unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);

}  // namespace platform
