#include "app/document.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/application.h"
#include "app/main_frame.h"
#include "app/view.h"
#include "platform/message_box.h"
#include "res/resources.h"

CPixloomDoc::CPixloomDoc(CMainFrame* frame, CPixloomView* v) : mainFrame(frame), view(v) {
    engine.document = this;
}

CPixloomDoc::~CPixloomDoc() {
    // Playback ends while the view can still answer the thread; only then is the window
    // forgotten.
    engine.EndPlayback();
    engine.viewWindow = nullptr;
    ReleaseLeftFile();
    if (engine.drawDib != nullptr) {
        platform::DrawDibClose(engine.drawDib);
        engine.drawDib = nullptr;
    }
}

void CPixloomDoc::ReleaseLeftFile() {
    engine.leftFile = nullptr;
    leftFileObject.reset();
}

bool CPixloomDoc::OnNewDocument() {
    pathName.clear();
    engine.EndPlayback();

    const CPixloomApp* app = AfxGetApp();
    int w = 176, h = 144;
    if (app != nullptr) {
        const CPixloomCommandLineInfo& cmd = app->cmdInfo;
        if (cmd.paramCount >= 2) {
            w = cmd.width;
            h = cmd.height;
        } else {
            w = app->GetProfileInt("width", 176);
            h = app->GetProfileInt("height", 144);
        }
    }
    settings_rules::CheckDefaultSize(w, h);
    if (!engine::FrameSizeFits(w, h)) {
        platform::AfxMessageBox(engine::FrameSizeMessage(w, h));
        w = 176;
        h = 144;
    }
    engine.defaultWidth = w;
    engine.defaultHeight = h;
    engine.width = w;
    engine.height = h;

    engine.view = view;
    engine.mainFrame = mainFrame;
    engine.viewWindow = view->MessageWindow();
    engine.drawDC = view->Canvas();
    // A File New gives back the drawing handle, the file and the events of the one before.
    if (engine.drawDib != nullptr) {
        platform::DrawDibClose(engine.drawDib);
    }
    engine.drawDib = platform::DrawDibOpen();

    SizeWindowAroundPicture();
    engine.AllocateBuffers();

    engine.document = this;
    engine.readyToPlay = 0;
    engine.playing = 0;
    ReleaseLeftFile();
    engine.stopEvent = platform::CreateEvent();
    engine.threadDoneEvent = platform::CreateEvent();
    engine.isKorva = 0;
    mainFrame->frameCounter = 1;

    if (app != nullptr) {
        const CPixloomCommandLineInfo& cmd = app->cmdInfo;
        if (cmd.paramCount >= 3) {
            mainFrame->frameRate = settings_rules::FrameRateFromCommandLine(cmd.frameRate);
        }
        if (cmd.paramCount >= 4 || cmd.paramCount == 1) {
            OnOpenDocument(QString::fromStdString(cmd.file1));
        }
        if (cmd.paramCount >= 5) {
            OpenDualFile(QString::fromStdString(cmd.file2));
        }
    }
    return true;
}

void CPixloomDoc::SizeWindowAroundPicture() {
    // The frame's outer rectangle (with the window manager's frame where there is one), the
    // view's rectangle and the view's client rectangle.
    if (QLayout* layout = mainFrame->layout()) {
        layout->activate();
    }
    const QSize f = mainFrame->frameGeometry().size();
    const QSize v = view->size();
    const QSize c = view->ClientSize();
    const int z = engine.zoom ? 2 : 1;
    // The rule assumes a window border and a sunken view edge. Without them (an undecorated
    // window before it is first shown, a borderless view) it leaves no room for the picture's
    // left margin, and a scroll bar would cut the placeholder; the view's client area is then
    // widened to the picture plus 8, as the rule gives where both exist.
    const int w = std::max(z * engine.width + 2 * f.width() - c.width() - v.width(),
                           z * engine.width + 8 + f.width() - c.width());
    const int h = z * engine.height + 2 * f.height() - c.height() - v.height() + 8;
    const QSize decoration = mainFrame->frameGeometry().size() - mainFrame->size();
    const QPoint topLeft = mainFrame->pos();
    mainFrame->resize(w - decoration.width(), h - decoration.height());
    mainFrame->move(topLeft);
    view->viewport()->update();
}

bool CPixloomDoc::CanOpenForReading(const QString& path) {
    platform::CFile probe;
    if (probe.Open(path.toStdString())) {
        return true;
    }
    const int error = errno;
    QString reason = QFileInfo(path).isDir() ? QString("it is a folder")
                                             : QString::fromLocal8Bit(std::strerror(error));
    platform::AfxMessageBox(QString("Cannot open the file %1: %2.")
                                .arg(path.isEmpty() ? "\"\"" : path, reason)
                                .toStdString());
    return false;
}

bool CPixloomDoc::OnOpenDocument(const QString& path) {
    if (!CanOpenForReading(path)) {
        return false;
    }
    engine.EndPlayback();

    auto file = std::make_unique<platform::CFile>();
    if (!file->Open(path.toStdString())) {
        // The file went away between the check and the open: back to the empty viewer.
        ReleaseLeftFile();
        platform::AfxMessageBox(
            QString("Cannot open the file %1: it is no longer there.").arg(path).toStdString());
        engine.readyToPlay = 0;
        engine.SetupGeometry();
        mainFrame->titleText = QString::fromStdString(res::LoadString(res::AFX_IDS_APP_TITLE));
        mainFrame->frameCounter = 1;
        mainFrame->OnUpdateFrameTitle(false);
        FitToPicture(10);
        HideScrollBars();
        return false;
    }
    // The earlier file stays open until the new one has its geometry and buffers: a picture
    // too large for memory leaves the earlier sequence on screen and playable.
    std::unique_ptr<platform::CFile> earlier = std::move(leftFileObject);
    leftFileObject = std::move(file);
    engine.leftFile = leftFileObject.get();
    if (!engine.SetupGeometry()) {
        leftFileObject = std::move(earlier);
        engine.leftFile = leftFileObject.get();
        return false;
    }
    earlier.reset();
    mainFrame->titleText = QString::fromStdString(engine.leftFile->GetFileName());
    FitToPicture(10);
    // Bars of the former layout would cut the fitted picture: the view lays them out anew.
    HideScrollBars();

    // Playback has ended: nothing else touches the buffers. No lock is held here, as a
    // message box may run (and paint) inside these steps.
    engine.AllocateBuffers();
    engine.ReadLeftFrame();
    mainFrame->frameCounter = 1;
    if (engine.dual && engine.rightFile != nullptr) {
        engine.rightFile->Seek(int64_t(engine.dataStart), platform::CFile::begin);
        engine.ReadRightFrame();
        mainFrame->titleText += "  /  " + QString::fromStdString(engine.rightFile->GetFileName());
    }
    engine.ConvertFrame();
    engine.readyToPlay = 1;
    engine.playing = 0;
    mainFrame->OnUpdateFrameTitle(false);
    view->viewport()->update();
    return true;
}

void CPixloomDoc::OnDualOpen() {
    const QString path = QFileDialog::getOpenFileName(mainFrame, QString(), QString(), QString());
    if (path.isEmpty()) {
        return;
    }
    engine.EndPlayback();
    engine.CloseRightFile();
    OpenDualFile(path);
}

void CPixloomDoc::OpenDualFile(const QString& path) {
    if (engine.leftFile == nullptr) {
        return;
    }
    engine.EndPlayback();
    engine.CloseRightFile();

    auto* file = new platform::CFile;
    if (!file->Open(path.toStdString())) {
        delete file;
        engine.rightFile = nullptr;
        engine.dual = 0;
        platform::AfxMessageBox("Error opening dual file for loading.");
        // Buffers made for the double-width picture would now be read as single rows: go
        // back to the single display at once, on the frame that was shown.
        if (engine.bitmapInfo.biWidth != engine.width) {
            ReturnToSingleDisplay();
            mainFrame->titleText = QString::fromStdString(engine.leftFile->GetFileName());
            mainFrame->OnUpdateFrameTitle(false);
        }
        return;
    }
    engine.rightFile = file;
    engine.dual = 1;
    mainFrame->titleText = QString::fromStdString(engine.leftFile->GetFileName()) + "  /  " +
                           QString::fromStdString(file->GetFileName());
    mainFrame->OnUpdateFrameTitle(false);
    ApplyFrameSize();
}

void CPixloomDoc::ReturnToSingleDisplay() {
    // The geometry is unchanged, so the left frame in memory is still the frame on screen.
    engine::FrameBuffer shown = std::move(engine.leftFrame);
    const bool allocated = engine.AllocateBuffers();
    engine.leftFrame = std::move(shown);
    if (!allocated) {
        ApplyFrameSize();
        return;
    }
    FitToPicture(10);
    HideScrollBars();
    engine.ConvertFrame();
    view->viewport()->update();
}

void CPixloomDoc::OnCloseDocument() {
    engine.EndPlayback();
    ReleaseLeftFile();
}

void CPixloomDoc::FitToPicture(int extraWidth) {
    const int z = engine.zoom ? 2 : 1;
    const int d = engine.dual ? 2 : 1;
    mainFrame->FitFrameToPicture(d * engine.width * z, engine.height * z, extraWidth);
    view->viewport()->update();
}

void CPixloomDoc::HideScrollBars() {
    engine.hScrollShown = 0;
    engine.vScrollShown = 0;
    view->HideBothScrollBars();
}

bool CPixloomDoc::OnCommand(unsigned id) {
    switch (id) {
        case res::ID_SEQ_PLAY:
            engine.Play();
            return true;
        case res::ID_SEQ_STOP:
            engine.Stop();
            return true;
        case res::ID_SEQ_REWIND:
            engine.Rewind();
            return true;
        case res::ID_SEQ_STEP_FORWARD:
            engine.StepForward();
            return true;
        case res::ID_SEQ_STEP_BACKWARD:
            engine.StepBackward();
            return true;
        case res::ID_SEQ_LOOP:
            engine.ToggleLoop();
            return true;
        case res::ID_FILE_DUAL_OPEN:
            OnDualOpen();
            return true;
        case res::ID_SEQ_ZOOM:
            OnZoom();
            return true;
        case res::ID_SIZE_QCIF:
            OnPresetSize(176, 144);
            return true;
        case res::ID_SIZE_176X120:
            OnPresetSize(176, 120);
            return true;
        case res::ID_SIZE_CIF:
            OnPresetSize(352, 288);
            return true;
        case res::ID_SIZE_256X224:
            OnPresetSize(256, 224);
            return true;
        case res::ID_SIZE_320X240:
            OnPresetSize(320, 240);
            return true;
        case res::ID_SIZE_352X240:
            OnPresetSize(352, 240);
            return true;
        case res::ID_SIZE_720X480:
            OnPresetSize(720, 480);
            return true;
        case res::ID_VIEW_DUAL_SCROLL:
            OnDualScroll();
            return true;
        case res::ID_VIEW_UV:
            OnViewUV();
            return true;
        case res::ID_VIEW_Y:
            OnViewY();
            return true;
        case res::ID_VIEW_DELTA:
            OnViewDelta();
            return true;
        case res::ID_SEQ_FRAME_RATE:
            OnFrameRate();
            return true;
        case res::ID_SEQ_DELTA_SCALE:
            OnDeltaScale();
            return true;
        default:
            return false;
    }
}

bool CPixloomDoc::OnUpdateCommand(unsigned id, platform::CCmdUI* cmd) {
    auto preset = [&](int w, int h) {
        cmd->SetCheck(engine.defaultWidth == w && engine.defaultHeight == h ? 1 : 0);
        return true;
    };
    auto check = [&](int flag) {
        cmd->Enable(true);
        cmd->SetCheck(flag ? 1 : 0);
        return true;
    };
    switch (id) {
        case res::ID_SEQ_PLAY:
            engine.OnUpdatePlay(cmd);
            return true;
        case res::ID_SEQ_STOP:
            engine.OnUpdateStop(cmd);
            return true;
        case res::ID_SEQ_REWIND:
        case res::ID_SEQ_STEP_FORWARD:
        case res::ID_SEQ_STEP_BACKWARD:
            engine.OnUpdateTransport(cmd);
            return true;
        case res::ID_SEQ_LOOP:
            engine.OnUpdateLoop(cmd);
            return true;
        case res::ID_FILE_DUAL_OPEN:
            cmd->Enable(engine.leftFile != nullptr);
            return true;
        case res::ID_SEQ_ZOOM:
            return check(engine.zoom);
        case res::ID_SIZE_QCIF:
            return preset(176, 144);
        case res::ID_SIZE_176X120:
            return preset(176, 120);
        case res::ID_SIZE_CIF:
            return preset(352, 288);
        case res::ID_SIZE_256X224:
            return preset(256, 224);
        case res::ID_SIZE_320X240:
            return preset(320, 240);
        case res::ID_SIZE_352X240:
            return preset(352, 240);
        case res::ID_SIZE_720X480:
            return preset(720, 480);
        case res::ID_VIEW_DUAL_SCROLL:
            return check(engine.dualScroll);
        case res::ID_VIEW_UV:
            return check(engine.showUV);
        case res::ID_VIEW_Y:
            return check(engine.showY);
        case res::ID_VIEW_DELTA:
            return check(engine.deltaMode);
        default:
            return false;
    }
}
