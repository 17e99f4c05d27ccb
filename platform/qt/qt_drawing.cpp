#include "platform/qt/qt_drawing.h"

#include <QPainter>

namespace platform {

void QtCanvasTarget::Resize(const QSize& size) {
    if (canvas_.size() == size) {
        return;
    }
    QImage next(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    next.fill(background_);
    if (!canvas_.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, canvas_);
    }
    canvas_ = std::move(next);
}

void QtCanvasTarget::Fill(const QRect& rect, QRgb colour) {
    if (canvas_.isNull()) {
        return;
    }
    const QRect r = rect.intersected(canvas_.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(canvas_.scanLine(y));
        std::fill(line + r.left(), line + r.right() + 1, colour);
    }
}

void QtCanvasTarget::DrawPicture(const DrawRequest& r) {
    if (canvas_.size() != widget_->size()) {
        Resize(widget_->size());
    }
    RenderRequest(r, reinterpret_cast<uint32_t*>(canvas_.bits()), int(canvas_.bytesPerLine() / 4),
                  canvas_.width(), canvas_.height());
    if (!inPaint_) {
        inRepaint_ = true;
        widget_->repaint(r.dstX, r.dstY, r.srcW * r.scaleX, r.srcH * r.scaleY);
        inRepaint_ = false;
    }
}

}  // namespace platform
