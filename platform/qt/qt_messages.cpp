#include "platform/qt/qt_messages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

namespace platform {

LRESULT QtMessageWindow::WindowProc(unsigned message, WPARAM wParam, LPARAM lParam) {
    return handler_ ? handler_(message, wParam, lParam) : 0;
}

LRESULT QtMessageWindow::SendFromOtherThread(unsigned message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    QMetaObject::invokeMethod(
        context_, [&] { result = WindowProc(message, wParam, lParam); },
        Qt::BlockingQueuedConnection);
    return result;
}

void QtMessageWindow::WaitHandlingSends(CEvent* done) {
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (done->Wait(1) == WAIT_OBJECT_0) {
            return;
        }
    }
}

}  // namespace platform
