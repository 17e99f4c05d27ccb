// The window surface pictures are drawn on: the widget's area of its window's backing store.
// Pictures are written straight into the backing store and handed to the window system before
// DrawPicture returns; nothing is kept besides what the window shows.
#pragma once

#include <QImage>
#include <QWidget>

#include "platform/picture_drawing.h"

class QPainter;

namespace platform {

class QtCanvasTarget : public DrawTarget {
public:
    explicit QtCanvasTarget(QWidget* widget) : widget_(widget) {}

    // Shows the request on the widget now: inside a paint event (BeginPaint) in the painter's
    // device, cut at the area being painted; otherwise in the window's backing store, whose
    // changed rectangle is then flushed to the window system. A widget that is not shown
    // draws nothing; its paint events draw it when it is.
    void DrawPicture(const DrawRequest& request) override;
    // Fills a rectangle of the widget (background erase), in the same way.
    void Fill(const QRect& rect, QRgb colour);
    // Binds the painter of the widget's paint event: until EndPaint, draws go to its device,
    // cut at rect (widget coordinates).
    void BeginPaint(QPainter& painter, const QRect& rect);
    void EndPaint();
    // Large pictures are written in bands of rows through runner (null: on the caller alone).
    void SetRowRunner(RowRunner runner) { runner_ = runner; }
    // What the widget shows now: its area of the window's backing store, copied.
    QImage canvas() const;
    // Returns once the window system has put everything drawn so far on screen (a round trip
    // to the X server; nothing to wait for elsewhere).
    void WaitUntilShown();

private:
    // Draws the request, or fills with colour when there is none, over rect (widget
    // coordinates) cut at the widget and at the area being painted.
    void Draw(const QRect& area, const DrawRequest* request, QRgb colour);
    // Onto device at origin (the widget's top-left corner in device pixels) when its pixels can
    // be written directly, else through the painter (widget coordinates).
    void DrawOn(QPaintDevice* device, QPainter* painter, const QPoint& origin, const QRect& area,
                const DrawRequest* request, QRgb colour);

    QWidget* widget_;
    QPainter* painter_ = nullptr;
    QRect paintRect_;
    // Pixels for devices that cannot be written directly (other formats, scaled screens);
    // kept between draws so a steady picture size allocates nothing.
    QImage scratch_;
    RowRunner runner_ = nullptr;
};

}  // namespace platform
