#include "app/view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include "app/document.h"
#include "app/main_frame.h"
#include "engine/row_bands.h"
#include "platform/message_box.h"

using engine::WM_PLAYBACK_DONE;
using engine::WM_REDRAW_FRAME;

namespace {

// Large pictures are drawn in bands on the conversion's threads, which are idle meanwhile: the
// playback thread waits while its frame is drawn, and a draw holds frameLock.
void DrawRowsInBands(int rows, int minRows, platform::RowJob job, void* context) {
    engine::ConversionBands().Run(rows, 1, minRows, job, context);
}

}  // namespace

CPixloomView::CPixloomView(QWidget* parent)
    : QAbstractScrollArea(parent),
      messageWindow(this, [this](unsigned m, platform::WPARAM w,
                                 platform::LPARAM l) { return WindowProc(m, w, l); }),
      canvas(viewport()) {
    canvas.SetRowRunner(DrawRowsInBands);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setSingleStep(1);
        bar->setFocusPolicy(Qt::NoFocus);
    }
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnScrollAction(Qt::Horizontal, action); });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnScrollAction(Qt::Vertical, action); });
}

void CPixloomView::SetDocument(CPixloomDoc* doc) {
    document = doc;
    if (document != nullptr) {
        document->engine.frameTimes.enabled = trace != nullptr;
    }
}

platform::LRESULT CPixloomView::WindowProc(unsigned message, platform::WPARAM, platform::LPARAM) {
    switch (message) {
        case WM_REDRAW_FRAME:
            return OnRedrawFrame();
        case WM_PLAYBACK_DONE:
            return OnPlaybackDone();
        default:
            return 0;
    }
}

void CPixloomView::OnDraw() {
    if (document == nullptr) {
        platform::AfxMessageBox("OnDraw, pDoc is NULL");
    }
    platform::SendMessage(&messageWindow, WM_REDRAW_FRAME);
}

platform::LRESULT CPixloomView::OnRedrawFrame() {
    if (document == nullptr) {
        platform::AfxMessageBox("pDoc is NULL");
        return 0;
    }
    const int64_t drawStart = trace ? platform::MonotonicMicros() : 0;
    engine::CSequenceDisplay& e = document->engine;
    const int z = e.zoom ? 2 : 1;
    const int d = e.dual ? 2 : 1;
    const int W = e.width, H = e.height;
    const int cw = viewport()->width(), ch = viewport()->height();
    const int ox = z * d * W + 10 - cw;
    const int oy = z * H + 10 - ch;
    int vw = ox > 0 ? cw / z - 5 : d * W;
    int vh = oy > 0 ? ch / z - 5 : H;
    if (scrollX + vw > d * W) {
        vw = d * W - scrollX;
    }
    if (scrollY + vh > H) {
        vh = H - scrollY;
    }
    // Outside the picture the view shows background: where the picture stood before and
    // stands no more (zoom, sizes, scroll bars), erase now and have it shown.
    const int drawnWidth = e.dual && e.dualScroll ? 2 * (vw / 2) : vw;
    const QRect picture(5, 5, std::max(0, z * drawnWidth), std::max(0, z * vh));
    if (picture != pictureRect) {
        const QRegion stale = QRegion(pictureRect).subtracted(picture);
        for (const QRect& r : stale) {
            OnEraseBkgnd(r);
        }
        if (!stale.isEmpty()) {
            viewport()->update(stale);
        }
        pictureRect = picture;
    }
    constexpr unsigned flags = platform::DDF_SAME_HDC | platform::DDF_SAME_DRAW;
    {
        std::lock_guard<std::mutex> lock(e.frameLock);
        if (e.dual && e.dualScroll) {
            const int half = vw / 2;
            platform::DrawDibDraw(e.drawDib, e.drawDC, 5, 5, z * half, z * vh, &e.bitmapInfo,
                                  e.rgbBuffer.data(), scrollX, scrollY, half, vh, flags);
            platform::DrawDibDraw(e.drawDib, e.drawDC, 5 + z * half, 5, z * half, z * vh,
                                  &e.bitmapInfo, e.rgbBuffer.data(), W + scrollX, scrollY, half, vh,
                                  flags);
        } else {
            platform::DrawDibDraw(e.drawDib, e.drawDC, 5, 5, z * vw, z * vh, &e.bitmapInfo,
                                  e.rgbBuffer.data(), scrollX, scrollY, vw, vh, flags);
        }
    }
    if (trace) {
        // While playing, the window system shows the frame while the next one is read and
        // converted, and the next draw waits for it; waiting here would stop that overlap.
        if (!e.playing) {
            canvas.WaitUntilShown();
        }
        const int64_t shown = platform::MonotonicMicros();
        trace->Write(e.Values().frameCounter, shown, e.frameTimes.readMicros.exchange(-1),
                     e.frameTimes.convertMicros.exchange(-1), shown - drawStart);
    }
    if (auto* frame = dynamic_cast<CMainFrame*>(e.mainFrame)) {
        frame->UpdateStatusBar();
    }
    return 0;
}

platform::LRESULT CPixloomView::OnPlaybackDone() {
    if (document != nullptr) {
        document->engine.readyToPlay = 1;
        document->engine.PlaybackEnded();
    }
    return 0;
}

void CPixloomView::OnEraseBkgnd(const QRect& clip) {
    canvas.Fill(clip, kBackground);
}

void CPixloomView::paintEvent(QPaintEvent* e) {
    // Exposure and updates: background, then the picture, drawn into this paint's device.
    QPainter painter(viewport());
    canvas.BeginPaint(painter, e->rect());
    OnEraseBkgnd(e->rect());
    OnDraw();
    canvas.EndPaint();
}

bool CPixloomView::viewportEvent(QEvent* e) {
    // The client area changes size in the middle of Qt's placing of the bars; the view lays
    // out for it once Qt has finished (event, HideBothScrollBars), as a bar shown or hidden
    // at this point would be undone by the rest of Qt's layout.
    if (e->type() == QEvent::Resize) {
        return true;
    }
    // Wheel and key scrolling go through the bars' actions like clicks on them do.
    return QAbstractScrollArea::viewportEvent(e);
}

bool CPixloomView::event(QEvent* e) {
    const QSize before = viewport()->size();
    const bool result = QAbstractScrollArea::event(e);
    // Qt has placed the bars and the client area for the view's new size (or style): the
    // client size is the size message's.
    if (e->type() == QEvent::Resize || viewport()->size() != before) {
        OnSize(viewport()->width(), viewport()->height());
    }
    return result;
}

void CPixloomView::scrollContentsBy(int, int) {
    // The picture is placed by scrollX and scrollY at every draw; nothing moves by itself.
}

void CPixloomView::ShowBar(Qt::Orientation o, bool show) {
    const Qt::ScrollBarPolicy policy = show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (o == Qt::Horizontal) {
        setHorizontalScrollBarPolicy(policy);
    } else {
        setVerticalScrollBarPolicy(policy);
    }
}

void CPixloomView::HideBothScrollBars() {
    const QSize before = viewport()->size();
    ShowBar(Qt::Horizontal, false);
    ShowBar(Qt::Vertical, false);
    // A bar that goes changes the client size, which the view lays out for as for a resize.
    if (viewport()->size() != before) {
        OnSize(viewport()->width(), viewport()->height());
    }
}

void CPixloomView::SetHorizontalPosition(int position) {
    settingBar = true;
    horizontalScrollBar()->setValue(position);
    settingBar = false;
}

void CPixloomView::OnSize(int cx, int cy) {
    if (inScrollUpdate || document == nullptr) {
        return;
    }
    engine::CSequenceDisplay& e = document->engine;
    const int W = e.width, H = e.height;
    if (W == 0) {
        return;
    }
    const int z = e.zoom ? 2 : 1;
    const int d = e.dual ? 2 : 1;
    const int sx = cx - d * z * W - 5;
    const int sy = cy - z * H - 5;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    if (e.hScrollShown && e.vScrollShown && -bar < sx && sx < 0 && -bar < sy && sy < 0) {
        e.hScrollShown = 0;
        e.vScrollShown = 0;
        inScrollUpdate = 1;
        HideBothScrollBars();
        inScrollUpdate = 0;
    } else {
        auto adjust = [&](Qt::Orientation o, int spare, int& shown) {
            if (spare >= 0 && shown) {
                shown = 0;
                inScrollUpdate = 1;
                ShowBar(o, false);
                inScrollUpdate = 0;
            } else if (spare < 0 && !shown) {
                shown = 1;
                inScrollUpdate = 1;
                QScrollBar* b = o == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
                settingBar = true;
                b->setValue(0);
                settingBar = false;
                ShowBar(o, true);
                inScrollUpdate = 0;
            }
        };
        adjust(Qt::Horizontal, sx, e.hScrollShown);
        adjust(Qt::Vertical, sy, e.vScrollShown);
    }
    UpdateScrollRanges(cx, cy);
}

namespace {

// A bar with range 0..maximum and a page: positions run from 0 to the limit,
// maximum - (page - 1), and never past the maximum (page 0); a page beyond the range counts
// as the whole range.
void ApplyRange(QScrollBar* bar, int maximum, int page) {
    if (maximum < 0) {
        maximum = 0;
    }
    if (page < 0 || page > maximum + 1) {
        page = maximum + 1;
    }
    bar->setRange(0, maximum - std::max(page - 1, 0));
    bar->setPageStep(page);
}

}  // namespace

void CPixloomView::UpdateScrollRanges(int cx, int cy) {
    if (document == nullptr) {
        return;
    }
    engine::CSequenceDisplay& e = document->engine;
    const int z = e.zoom ? 2 : 1;
    const int d = e.dual ? 2 : 1;
    if (!e.hScrollShown) {
        scrollX = 0;
    } else {
        int maximum, page;
        if (e.dualScroll) {
            maximum = z * e.width;
            page = cx / d - (e.zoom ? 4 : 2);
        } else {
            maximum = d * z * e.width;
            page = cx - (e.zoom ? 10 : 4);
        }
        scrollX = horizontalScrollBar()->value() / z;
        inScrollUpdate = 1;
        settingBar = true;
        ApplyRange(horizontalScrollBar(), maximum, page);
        settingBar = false;
        inScrollUpdate = 0;
    }
    if (!e.vScrollShown) {
        scrollY = 0;
    } else {
        const int maximum = z * e.height;
        const int page = cy - (e.zoom ? 10 : 4);
        scrollY = verticalScrollBar()->value() / z;
        inScrollUpdate = 1;
        settingBar = true;
        ApplyRange(verticalScrollBar(), maximum, page);
        settingBar = false;
        inScrollUpdate = 0;
    }
}

namespace {

int NewPosition(int code, int thumb, int p, int m, int limit, int page) {
    switch (code) {
        case SB_LINELEFT:
            return p > m ? p - 1 : p;
        case SB_LINERIGHT:
            return p < limit ? p + 1 : p;
        case SB_PAGELEFT:
            return p > m ? std::max(p - page, m) : p;
        case SB_PAGERIGHT:
            return p < limit ? std::min(p + page, limit) : p;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            return thumb;
        case SB_LEFT:
            return m;
        case SB_RIGHT:
            return limit;
        default:
            return p;
    }
}

}  // namespace

int CPixloomView::MoveScrollBar(QScrollBar* bar, int code, int thumb) {
    const int m = bar->minimum(), limit = bar->maximum(), p = bar->value();
    const int pos = std::clamp(NewPosition(code, thumb, p, m, limit, bar->pageStep()), m, limit);
    settingBar = true;
    bar->setSliderPosition(pos);
    bar->setValue(pos);
    settingBar = false;
    const int z = document != nullptr && document->engine.zoom ? 2 : 1;
    return pos / z;
}

void CPixloomView::OnHScroll(int code, int thumb) {
    scrollX = MoveScrollBar(horizontalScrollBar(), code, thumb);
    platform::SendMessage(&messageWindow, WM_REDRAW_FRAME);
}

void CPixloomView::OnVScroll(int code, int thumb) {
    scrollY = MoveScrollBar(verticalScrollBar(), code, thumb);
    platform::SendMessage(&messageWindow, WM_REDRAW_FRAME);
}

void CPixloomView::OnScrollAction(Qt::Orientation o, int action) {
    if (settingBar) {
        return;
    }
    QScrollBar* bar = o == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    int code = SB_ENDSCROLL;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            code = SB_LINELEFT;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            code = SB_LINERIGHT;
            break;
        case QAbstractSlider::SliderPageStepSub:
            code = SB_PAGELEFT;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            code = SB_PAGERIGHT;
            break;
        case QAbstractSlider::SliderToMinimum:
            code = SB_LEFT;
            break;
        case QAbstractSlider::SliderToMaximum:
            code = SB_RIGHT;
            break;
        case QAbstractSlider::SliderMove:
            code = SB_THUMBTRACK;
            break;
        default:
            break;
    }
    // The bar has already moved its slider for the action; the rule above decides instead.
    const int thumb = bar->sliderPosition();
    if (code != SB_THUMBTRACK) {
        settingBar = true;
        bar->setSliderPosition(bar->value());
        settingBar = false;
    }
    if (o == Qt::Horizontal) {
        OnHScroll(code, thumb);
    } else {
        OnVScroll(code, thumb);
    }
}
