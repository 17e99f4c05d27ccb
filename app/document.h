// The document: owns the engine, runs the new-document step, the opens, the dual open and the
// close, and handles every program command with its update handler.
#pragma once

#include <QString>
#include <memory>

#include "engine/sequence_display.h"
#include "platform/command_ui.h"
#include "platform/file_access.h"

class CMainFrame;
class CPixloomView;

class CPixloomDoc {
public:
    CPixloomDoc(CMainFrame* frame, CPixloomView* view);
    virtual ~CPixloomDoc();

    // Prepares the empty viewer and applies the kept command line. Runs at start-up and on
    // every File New.
    bool OnNewDocument();
    // Makes the file the left sequence and shows its first frame. False: the file could not be
    // opened, and the document is as it was.
    bool OnOpenDocument(const QString& path);
    // Dual Open: asks for a file and opens it as the right sequence.
    void OnDualOpen();
    // Opens the file as the right (dual) sequence; needs a left sequence.
    void OpenDualFile(const QString& path);
    // Ends playback and gives back the left file (the application is closing).
    void OnCloseDocument();

    // Runs a program command; false when the document has no handler for the id.
    bool OnCommand(unsigned id);
    // Runs the command's update handler; false when the document has none.
    bool OnUpdateCommand(unsigned id, platform::CCmdUI* cmd);

    // Display commands and the operation the presets and the dual open share.
    void OnZoom();
    void OnPresetSize(int width, int height);
    void ApplyFrameSize();
    void OnDualScroll();
    void OnViewY();
    void OnViewUV();
    void OnViewDelta();
    void OnFrameRate();
    void OnDeltaScale();

    const QString& PathName() const { return pathName; }
    void SetPathName(const QString& path) { pathName = path; }

    // The engine; the first member, as every other part reaches the sequence through it.
    engine::CSequenceDisplay engine;

private:
    // The framework's checks before an open: the file can be opened for reading.
    bool CanOpenForReading(const QString& path);
    void ReleaseLeftFile();
    void SizeWindowAroundPicture();
    void FitToPicture(int extraWidth);
    void HideScrollBars();
    // After a failed dual open: the single picture again, on the frame that was shown.
    void ReturnToSingleDisplay();

    CMainFrame* mainFrame;
    CPixloomView* view;
    std::unique_ptr<platform::CFile> leftFileObject;
    QString pathName;
};
