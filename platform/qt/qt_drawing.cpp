#include "platform/qt/qt_drawing.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cmath>

#if defined(PIXLOOM_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace platform {

namespace {

// The device as an image whose 32-bit words are 0xffRRGGBB for opaque pixels, one word per
// pixel of the widget; null when it is anything else.
QImage* WritableImage(QPaintDevice* device) {
    if (device == nullptr || device->devType() != QInternal::Image) {
        return nullptr;
    }
    auto* image = static_cast<QImage*>(device);
    const QImage::Format f = image->format();
    const bool xrgb = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                      f == QImage::Format_ARGB32_Premultiplied;
    if (!xrgb || image->devicePixelRatio() != 1.0 || image->isNull()) {
        return nullptr;
    }
    return image;
}

// The painter's mapping from widget to device pixels when it is a whole-pixel shift.
bool WholePixelShift(const QPainter& painter, QPoint& origin) {
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) ||
        t.dy() != std::floor(t.dy())) {
        return false;
    }
    origin = QPoint(int(t.dx()), int(t.dy()));
    return true;
}

QRect DestinationOf(const DrawRequest& r) {
    return QRect(r.dstX, r.dstY, r.srcW * r.scaleX, r.srcH * r.scaleY);
}

}  // namespace

void QtCanvasTarget::BeginPaint(QPainter& painter, const QRect& rect) {
    painter_ = &painter;
    paintRect_ = rect.intersected(widget_->rect());
}

void QtCanvasTarget::EndPaint() {
    painter_ = nullptr;
}

void QtCanvasTarget::DrawPicture(const DrawRequest& r) {
    Draw(DestinationOf(r), &r, 0);
}

void QtCanvasTarget::Fill(const QRect& rect, QRgb colour) {
    Draw(rect, nullptr, colour);
}

void QtCanvasTarget::Draw(const QRect& rect, const DrawRequest* request, QRgb colour) {
    if (painter_ != nullptr) {
        const QRect area = rect.intersected(paintRect_);
        if (!area.isEmpty()) {
            QPoint origin;
            QPaintDevice* device = painter_->paintEngine() != nullptr
                                       ? painter_->paintEngine()->paintDevice()
                                       : nullptr;
            if (!WholePixelShift(*painter_, origin)) {
                device = nullptr;
            }
            DrawOn(device, painter_, origin, area, request, colour);
        }
        return;
    }
    // Outside a paint event: straight into the window's backing store, then to the screen.
    QWidget* top = widget_->window();
    QBackingStore* store = widget_->isVisible() ? top->backingStore() : nullptr;
    QWindow* window = top->windowHandle();
    if (store == nullptr || window == nullptr) {
        return;
    }
    const QPoint origin = widget_->mapTo(top, QPoint(0, 0));
    const QRect area = rect.intersected(widget_->rect()).intersected(QRect(-origin, store->size()));
    if (area.isEmpty()) {
        return;
    }
    const QRect windowArea = area.translated(origin);
    store->beginPaint(windowArea);
    QPaintDevice* device = store->paintDevice();
    if (WritableImage(device) != nullptr) {
        DrawOn(device, nullptr, origin, area, request, colour);
    } else if (device != nullptr) {
        QPainter painter(device);
        painter.translate(origin);
        DrawOn(nullptr, &painter, origin, area, request, colour);
    }
    store->endPaint();
    store->flush(windowArea, window);
}

void QtCanvasTarget::DrawOn(QPaintDevice* device, QPainter* painter, const QPoint& origin,
                            const QRect& area, const DrawRequest* request, QRgb colour) {
    if (QImage* image = WritableImage(device)) {
        // The device's own words: no copy and no conversion on the way.
        const QRect pixels = area.translated(origin).intersected(image->rect());
        if (pixels.isEmpty()) {
            return;
        }
        const QPoint shift = pixels.topLeft() - origin;
        const int stride = int(image->bytesPerLine() / 4);
        // constBits: the window system reads this very buffer, so it must not be detached.
        auto* surface = reinterpret_cast<uint32_t*>(const_cast<uchar*>(image->constBits())) +
                        size_t(pixels.top()) * size_t(stride) + size_t(pixels.left());
        if (request != nullptr) {
            DrawRequest r = *request;
            r.dstX -= shift.x();
            r.dstY -= shift.y();
            RenderRequest(r, surface, stride, pixels.width(), pixels.height(), runner_);
        } else {
            for (int y = 0; y < pixels.height(); ++y) {
                uint32_t* line = surface + size_t(y) * size_t(stride);
                std::fill(line, line + pixels.width(), uint32_t(colour));
            }
        }
        return;
    }
    if (painter == nullptr) {
        return;
    }
    if (request == nullptr) {
        painter->fillRect(area, QColor::fromRgb(colour));
        return;
    }
    if (scratch_.size() != area.size()) {
        scratch_ = QImage(area.size(), QImage::Format_RGB32);
    }
    DrawRequest r = *request;
    r.dstX -= area.x();
    r.dstY -= area.y();
    RenderRequest(r, reinterpret_cast<uint32_t*>(scratch_.bits()), int(scratch_.bytesPerLine() / 4),
                  scratch_.width(), scratch_.height(), runner_);
    painter->drawImage(area.topLeft(), scratch_);
}

QImage QtCanvasTarget::canvas() const {
    QWidget* top = widget_->window();
    QBackingStore* store = top->backingStore();
    QPaintDevice* device = store != nullptr ? store->paintDevice() : nullptr;
    if (device == nullptr || device->devType() != QInternal::Image) {
        return QImage();
    }
    const auto* image = static_cast<const QImage*>(device);
    const QPoint origin = widget_->mapTo(top, QPoint(0, 0));
    return image->copy(QRect(origin, widget_->size())).convertToFormat(QImage::Format_RGB32);
}

void QtCanvasTarget::WaitUntilShown() {
#if defined(PIXLOOM_HAVE_XCB) && QT_CONFIG(xcb)
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        // The server answers after it has carried out every earlier request, the picture's
        // put included. The offscreen platform offers the interface without a connection.
        if (xcb_connection_t* c = x11->connection()) {
            std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        }
    }
#endif
}

}  // namespace platform
