#include "app/display_commands.h"

#include <charconv>
#include <cmath>

#include "app/application.h"
#include "app/dialog_template.h"
#include "app/document.h"
#include "app/main_frame.h"
#include "app/view.h"
#include "engine/c_numbers.h"
#include "platform/message_box.h"

namespace dialog_rules {

bool ParseDouble(const QString& text, double& value) {
    const std::string s = text.trimmed().toStdString();
    if (s.empty()) {
        return false;
    }
    size_t start = 0;
    if (s[0] == '+') {
        start = 1;
        // One sign only: "+-5" is not a number.
        if (s.size() > 1 && (s[1] == '-' || s[1] == '+')) {
            return false;
        }
    }
    double v = 0.0;
    auto r = std::from_chars(s.data() + start, s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

QString FormatDouble(double value) {
    return QString::asprintf("%.15g", value);
}

}  // namespace dialog_rules

CFrameRateDialog::CFrameRateDialog(QWidget* parent) : QDialog(parent) {
    BuildDialog(this, res::Dialog(res::IDD_FRAME_RATE));
    edit = findChild<QLineEdit*>(QString::number(res::IDC_FRAME_RATE));
}

bool CFrameRateDialog::OnInitDialog() {
    return DoDataExchange(false);
}

bool CFrameRateDialog::DoDataExchange(bool save) {
    if (!save) {
        edit->setText(dialog_rules::FormatDouble(frameRate));
        return true;
    }
    double value = 0.0;
    if (!dialog_rules::ParseDouble(edit->text(), value)) {
        platform::AfxMessageBox("Please enter a number.");
        return false;
    }
    if (value < 0.0 || value > 501.0) {
        platform::AfxMessageBox("Please enter a number between 0 and 501.");
        return false;
    }
    frameRate = value;
    return true;
}

int CFrameRateDialog::exec() {
    OnInitDialog();
    return QDialog::exec();
}

void CFrameRateDialog::accept() {
    if (DoDataExchange(true)) {
        QDialog::accept();
    } else {
        edit->setFocus();
        edit->selectAll();
    }
}

CDeltaScaleDialog::CDeltaScaleDialog(QWidget* parent) : QDialog(parent) {
    BuildDialog(this, res::Dialog(res::IDD_DELTA_SCALE));
    edit = findChild<QLineEdit*>(QString::number(res::IDC_DELTA_SCALE));
}

bool CDeltaScaleDialog::DoDataExchange(bool save) {
    if (!save) {
        edit->setText(dialog_rules::FormatDouble(deltaScale));
        return true;
    }
    double value = 0.0;
    if (!dialog_rules::ParseDouble(edit->text(), value)) {
        platform::AfxMessageBox("Please enter a number.");
        return false;
    }
    deltaScale = value;
    return true;
}

int CDeltaScaleDialog::exec() {
    DoDataExchange(false);
    return QDialog::exec();
}

void CDeltaScaleDialog::accept() {
    if (DoDataExchange(true)) {
        QDialog::accept();
    } else {
        edit->setFocus();
        edit->selectAll();
    }
}

void CPixloomDoc::ApplyFrameSize() {
    engine.EndPlayback();
    if (!engine.SetupGeometry()) {
        return;
    }
    FitToPicture(10);
    HideScrollBars();
    if (engine.leftFile != nullptr) {
        engine.leftFile->Seek(int64_t(engine.dataStart), platform::CFile::begin);
        engine.ReadLeftFrame();
        if (engine.dual && engine.rightFile != nullptr) {
            engine.rightFile->Seek(int64_t(engine.dataStart), platform::CFile::begin);
            engine.ReadRightFrame();
        }
        mainFrame->frameCounter = 1;
        engine.ConvertFrame();
    }
    // The picture changed even where the window's size did not.
    view->viewport()->update();
    if (CPixloomApp* app = AfxGetApp()) {
        app->WriteProfileInt("width", engine.width);
        app->WriteProfileInt("height", engine.height);
    }
}

void CPixloomDoc::OnZoom() {
    engine.zoom = engine.zoom ? 0 : 1;
    const int z = engine.zoom ? 2 : 1;
    const int d = engine.dual ? 2 : 1;
    platform::DrawDibBegin(engine.drawDib, engine.drawDC, d * engine.width * z, engine.height * z,
                           &engine.bitmapInfo, engine.bitmapInfo.biWidth,
                           engine.bitmapInfo.biHeight, 0);
    mainFrame->FitFrameToPicture(d * engine.width * z, engine.height * z, engine.zoom ? 15 : 10);
    HideScrollBars();
    platform::SendMessage(engine.viewWindow, engine::WM_REDRAW_FRAME);
}

void CPixloomDoc::OnPresetSize(int width, int height) {
    engine.defaultWidth = width;
    engine.defaultHeight = height;
    ApplyFrameSize();
}

void CPixloomDoc::OnDualScroll() {
    engine.dualScroll = engine.dualScroll ? 0 : 1;
    if (engine.dual && engine.hScrollShown) {
        view->SetHorizontalPosition(0);
        const QSize client = view->ClientSize();
        view->OnSize(client.width(), client.height());
        view->viewport()->update();
    }
}

namespace {

// Changes display flags under the frame lock and, where asked, converts the frame in the
// buffers with them in the same step; then has the view draw it.
template <typename Change>
void ChangeAndShow(engine::CSequenceDisplay& e, Change change) {
    bool show = false;
    {
        std::lock_guard<std::mutex> lock(e.frameLock);
        show = change();
        if (show) {
            e.ConvertFrame();
        }
    }
    if (show) {
        platform::SendMessage(e.viewWindow, engine::WM_REDRAW_FRAME);
    }
}

}  // namespace

void CPixloomDoc::OnViewUV() {
    ChangeAndShow(engine, [this] {
        if (engine.showY == 0 && engine.showUV == 1) {
            engine.showY = 1;
        }
        engine.showUV = engine.showUV ? 0 : 1;
        return engine.playing || engine.readyToPlay;
    });
}

void CPixloomDoc::OnViewY() {
    ChangeAndShow(engine, [this] {
        if (engine.showY == 1 && engine.showUV == 0) {
            engine.showUV = 1;
        }
        engine.showY = engine.showY ? 0 : 1;
        return engine.playing || engine.readyToPlay;
    });
}

void CPixloomDoc::OnViewDelta() {
    ChangeAndShow(engine, [this] {
        engine.deltaMode = engine.deltaMode ? 0 : 1;
        return engine.dual && (engine.playing || engine.readyToPlay);
    });
}

void CPixloomDoc::OnFrameRate() {
    CFrameRateDialog dialog(mainFrame);
    dialog.frameRate = mainFrame->frameRate;
    if (dialog.exec() == QDialog::Accepted) {
        mainFrame->frameRate = dialog.frameRate;
        if (CPixloomApp* app = AfxGetApp()) {
            app->WriteProfileString("framerate",
                                    QString::fromStdString(engine::FormatLf(dialog.frameRate)));
        }
    }
}

void CPixloomDoc::OnDeltaScale() {
    CDeltaScaleDialog dialog(mainFrame);
    dialog.deltaScale = mainFrame->deltaScale;
    if (dialog.exec() == QDialog::Accepted) {
        mainFrame->deltaScale = dialog.deltaScale;
        if (CPixloomApp* app = AfxGetApp()) {
            app->WriteProfileString("deltascale",
                                    QString::fromStdString(engine::FormatLf(dialog.deltaScale)));
        }
    }
    ChangeAndShow(engine, [this] {
        return engine.deltaMode && engine.dual && (engine.playing || engine.readyToPlay);
    });
}
