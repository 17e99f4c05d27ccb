// The view: draws the RGB picture at (5, 5) of its area, doubled when zoomed, split into two
// halves for dual scrolling, and shows scroll bars while the picture does not fit. Every draw
// goes through WM_REDRAW_FRAME, which draws at once, so a frame is on screen when the message
// returns.
#pragma once

#include <QAbstractScrollArea>
#include <memory>

#include "platform/frame_trace.h"
#include "platform/qt/qt_drawing.h"
#include "platform/qt/qt_messages.h"

class CPixloomDoc;

// Scroll codes of the two bars.
enum ScrollCode {
    SB_LINELEFT = 0,
    SB_LINEUP = 0,
    SB_LINERIGHT = 1,
    SB_LINEDOWN = 1,
    SB_PAGELEFT = 2,
    SB_PAGEUP = 2,
    SB_PAGERIGHT = 3,
    SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_LEFT = 6,
    SB_TOP = 6,
    SB_RIGHT = 7,
    SB_BOTTOM = 7,
    SB_ENDSCROLL = 8,
};

class CPixloomView : public QAbstractScrollArea {
public:
    CPixloomView(QWidget* parent);

    // Also switches the engine's frame times on while a frame trace is written.
    void SetDocument(CPixloomDoc* doc);
    CPixloomDoc* GetDocument() const { return document; }
    platform::MessageWindow* MessageWindow() { return &messageWindow; }
    platform::QtCanvasTarget* Canvas() { return &canvas; }

    platform::LRESULT WindowProc(unsigned message, platform::WPARAM wParam,
                                 platform::LPARAM lParam);
    void OnDraw();
    platform::LRESULT OnRedrawFrame();
    platform::LRESULT OnPlaybackDone();
    void OnEraseBkgnd(const QRect& clip);
    void OnSize(int cx, int cy);
    void UpdateScrollRanges(int cx, int cy);
    void OnHScroll(int code, int thumb);
    void OnVScroll(int code, int thumb);
    // Hides both bars (ShowScrollBar with SB_BOTH, FALSE).
    void HideBothScrollBars();
    // Sets the horizontal position (with redraw of the bar).
    void SetHorizontalPosition(int position);
    // The client size: the view's area less the scroll bars it shows. Known from the view's own
    // size also before the hidden window has laid out its viewport.
    QSize ClientSize() const { return maximumViewportSize(); }

    int scrollX = 0;
    int scrollY = 0;
    int inScrollUpdate = 0;

    // The background colour of the area around the picture.
    static constexpr QRgb kBackground = 0xffd4d0c8;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* e) override;

private:
    void ShowBar(Qt::Orientation o, bool show);
    void OnScrollAction(Qt::Orientation o, int action);
    // Moves a bar by a scroll code and returns the new position in picture pixels.
    int MoveScrollBar(QScrollBar* bar, int code, int thumb);

    CPixloomDoc* document = nullptr;
    platform::QtMessageWindow messageWindow;
    platform::QtCanvasTarget canvas;
    // The frame trace (PIXLOOM_TRACE), or null.
    std::unique_ptr<platform::FrameTrace> trace = platform::FrameTrace::FromEnvironment();
    // Where the picture was last drawn, in the view's client coordinates.
    QRect pictureRect;
    // Set while the view adjusts a bar's value itself, so the bar's signals are not scrolls.
    bool settingBar = false;
};
