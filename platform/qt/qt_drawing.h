// The window surface pictures are drawn on: a 32-bit image the size of the widget's area,
// shown on screen before DrawPicture returns.
#pragma once

#include <QImage>
#include <QWidget>

#include "platform/picture_drawing.h"

namespace platform {

class QtCanvasTarget : public DrawTarget {
public:
    explicit QtCanvasTarget(QWidget* widget) : widget_(widget) {}

    // Renders the request into the canvas and repaints that rectangle of the widget now.
    void DrawPicture(const DrawRequest& request) override;
    // Matches the canvas to the widget's size, keeping what fits; new parts take the
    // background colour.
    void Resize(const QSize& size);
    void SetBackground(QRgb colour) { background_ = colour; }
    // Fills a rectangle of the canvas (background erase).
    void Fill(const QRect& rect, QRgb colour);
    // The canvas, as the widget's paint event shows it.
    const QImage& canvas() const { return canvas_; }
    // While set, DrawPicture only renders; the paint event in progress shows the result.
    void SetInPaint(bool inPaint) { inPaint_ = inPaint; }
    // True inside the repaint that DrawPicture asks for: the widget only shows the canvas.
    bool InRepaint() const { return inRepaint_; }

private:
    QWidget* widget_;
    QImage canvas_;
    bool inPaint_ = false;
    bool inRepaint_ = false;
    QRgb background_ = 0xff000000u;
};

}  // namespace platform
