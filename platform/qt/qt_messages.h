// Window messages on Qt: a send from another thread becomes a blocking queued call into the
// window's thread, so the sender continues only after the handler returned.
#pragma once

#include <QObject>
#include <functional>

#include "platform/messages.h"

namespace platform {

class QtMessageWindow : public MessageWindow {
public:
    using Handler = std::function<LRESULT(unsigned, WPARAM, LPARAM)>;
    // context: a QObject living on the window's thread; handler: the window procedure.
    QtMessageWindow(QObject* context, Handler handler)
        : context_(context), handler_(std::move(handler)) {}

    LRESULT WindowProc(unsigned message, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendFromOtherThread(unsigned message, WPARAM wParam, LPARAM lParam) override;
    // Handles posted calls and timers but no user input until done is set; commands the user
    // gives meanwhile are not run re-entrantly.
    void WaitHandlingSends(CEvent* done) override;

private:
    QObject* context_;
    Handler handler_;
};

}  // namespace platform
