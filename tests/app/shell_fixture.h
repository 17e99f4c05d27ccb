// In-process harness for the Qt shell: one application object per test with its own settings
// store in a temporary folder, messages recorded instead of shown, and helpers to drive commands,
// wait for playback and compare the view's pixels with the RGB picture.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/document.h"
#include "app/main_frame.h"
#include "app/view.h"
#include "platform/message_box.h"
#include "res/resources.h"
#include "tests/support/sequence_files.h"

// Readable failure output for Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace shell_testing {

using testing_support::TempDir;

// Lets queued calls, timers, resizes and paints run.
inline void Settle() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// Handles events until the condition holds or the bound (generous; never a timing assert) ends.
inline bool WaitUntil(const std::function<bool()>& condition, int boundMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > boundMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// Picture pixel (x, y), (0, 0) at the top-left corner, from the bottom-up BGR picture.
inline QRgb PicturePixel(const engine::CSequenceDisplay& e, int x, int y) {
    const int bw = e.bitmapInfo.biWidth;
    const int bh = e.bitmapInfo.biHeight;
    const uint8_t* p = e.rgbBuffer.data() + (size_t(bh - 1 - y) * size_t(bw) + size_t(x)) * 3;
    return qRgb(p[2], p[1], p[0]);
}

// Checks that the window rectangle at (dstX, dstY) shows the picture rectangle at (srcX, srcY),
// w x h picture pixels, each as z x z window pixels.
inline ::testing::AssertionResult ShowsPicture(const QImage& image,
                                               const engine::CSequenceDisplay& e, int z, int srcX,
                                               int srcY, int w, int h, int dstX, int dstY) {
    int wrong = 0;
    std::string first;
    for (int j = 0; j < z * h; ++j) {
        for (int i = 0; i < z * w; ++i) {
            const int x = dstX + i, y = dstY + j;
            const QRgb want = PicturePixel(e, srcX + i / z, srcY + j / z);
            const QRgb got = x < image.width() && y < image.height() ? image.pixel(x, y) : 0;
            if ((got & 0xffffff) != (want & 0xffffff)) {
                if (wrong++ == 0) {
                    char text[128];
                    std::snprintf(text, sizeof text, "at (%d, %d): %06x, want %06x", x, y,
                                  unsigned(got & 0xffffff), unsigned(want & 0xffffff));
                    first = text;
                }
            }
        }
    }
    if (wrong == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << wrong << " pixels differ, first " << first;
}

// Checks that a window rectangle shows only the background colour.
inline ::testing::AssertionResult ShowsBackground(const QImage& image, const QRect& rect) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) != (CPixloomView::kBackground & 0xffffff)) {
                return ::testing::AssertionFailure()
                       << "(" << x << ", " << y << ") is " << std::hex << image.pixel(x, y);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

inline std::vector<uint8_t> PictureBytes(const engine::CSequenceDisplay& e) {
    return std::vector<uint8_t>(e.rgbBuffer.data(), e.rgbBuffer.data() + e.rgbBuffer.size());
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(dir.File("settings")));
        previousBox = platform::SetMessageBoxHandler(
            [this](const std::string& text) { messages.push_back(text); });
        previousExit = platform::SetExitHandler([this](int status) { exits.push_back(status); });
    }

    void TearDown() override {
        if (app) {
            if (Frame() != nullptr) {
                Frame()->close();
            }
            app.reset();
        }
        Settle();
        platform::SetMessageBoxHandler(previousBox);
        platform::SetExitHandler(previousExit);
    }

    // Runs the start-up with the words after the program name.
    bool Start(const std::vector<std::string>& words = {}) {
        app = std::make_unique<CPixloomApp>();
        const bool ok = app->InitInstance(words);
        Settle();
        return ok;
    }

    // The start-up with a default frame size given on the command line (nothing is stored).
    bool StartSized(int w, int h) { return Start({std::to_string(w), std::to_string(h)}); }

    CMainFrame* Frame() const { return app->MainFrame(); }
    CPixloomDoc* Doc() const { return app->Document(); }
    CPixloomView* View() const { return app->View(); }
    engine::CSequenceDisplay& Engine() const { return Doc()->engine; }

    // A command as a menu item, button or key gives it; then the idle refresh.
    void Command(unsigned id) {
        Frame()->OnCommand(id);
        Settle();
    }

    QAction* Action(unsigned id) const {
        Frame()->UpdateCommandUI();
        return Frame()->Action(id);
    }

    // The settings store the viewer uses, opened independently.
    static std::unique_ptr<QSettings> Store() {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           "pixloom application", "pixloom");
    }
    static void WriteSetting(const QString& key, const QVariant& value) {
        auto s = Store();
        s->setValue("pixloom application/" + key, value);
        s->sync();
    }
    static QVariant ReadSetting(const QString& key) {
        auto s = Store();
        return s->value("pixloom application/" + key);
    }

    // A raw 4:2:0 sequence of pattern frames in the temporary folder; returns its path.
    std::string RawFile(const std::string& name, int w, int h, int frames, uint32_t seed = 1) {
        const std::string path = dir.File(name);
        testing_support::WriteBytes(path, testing_support::RawSequence(w, h, frames, seed));
        return path;
    }

    bool Open(const std::string& path) {
        const bool ok = app->OpenDocumentFile(QString::fromStdString(path));
        Frame()->UpdateCommandUI();
        Settle();
        return ok;
    }

    void DualOpen(const std::string& path) {
        Doc()->OpenDualFile(QString::fromStdString(path));
        Frame()->UpdateCommandUI();
        Settle();
    }

    // Resizes the main window so that the view's whole area (scroll bars included) is w x h.
    void SetViewArea(int w, int h) {
        for (int i = 0; i < 3; ++i) {
            const QSize area = View()->size();
            Frame()->resize(Frame()->width() + w - area.width(),
                            Frame()->height() + h - area.height());
            Settle();
            if (View()->size() == QSize(w, h)) {
                return;
            }
        }
        ADD_FAILURE() << "view area " << View()->width() << "x" << View()->height() << ", wanted "
                      << w << "x" << h;
    }

    // What the view's window shows now, without repainting it.
    QImage Shown() const { return View()->Canvas()->canvas(); }

    // The view repainted from scratch (as when it is uncovered).
    QImage Grab() const {
        return View()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Runs the body once the next modal dialog is open (the dialog is given to it).
    static void WhenDialogOpens(std::function<void(QDialog*)> body) {
        QTimer::singleShot(0, [body] {
            QDialog* dialog = nullptr;
            WaitUntil([&] {
                dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                return dialog != nullptr;
            });
            ASSERT_NE(dialog, nullptr);
            body(dialog);
        });
    }

    static void Click(QDialog* dialog, int id) {
        auto* button = dialog->findChild<QPushButton*>(QString::number(id));
        ASSERT_NE(button, nullptr);
        button->click();
    }

    TempDir dir;
    std::unique_ptr<CPixloomApp> app;
    std::vector<std::string> messages;
    std::vector<int> exits;

private:
    platform::MessageBoxHandler previousBox;
    platform::ExitHandler previousExit;
};

}  // namespace shell_testing
