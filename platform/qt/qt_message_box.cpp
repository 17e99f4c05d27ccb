#include "platform/qt/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "platform/message_box.h"

namespace platform {

void InstallQtMessageBox(std::function<QWidget*()> parent) {
    SetMessageBoxHandler([parent](const std::string& text) {
        auto show = [&] {
            QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                            QString::fromStdString(text), QMessageBox::Ok,
                            parent ? parent() : nullptr);
            box.exec();
        };
        if (QThread::currentThread() == qApp->thread()) {
            show();
        } else {
            QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection);
        }
    });
    SetExitHandler([](int status) {
        std::fflush(nullptr);
        std::_Exit(status);
    });
}

}  // namespace platform
