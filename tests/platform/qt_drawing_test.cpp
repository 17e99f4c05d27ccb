// The Qt window surface: pictures written straight into the window's backing store, in paint
// events into the painter's device, and through the painter on devices that cannot be written
// directly; each compared byte for byte with the memory surface, which renders the same calls.
#include "platform/qt/qt_drawing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

using platform::MemoryDrawTarget;
using platform::QtCanvasTarget;

constexpr QRgb kParent = 0xff204060u;
constexpr QRgb kBackground = 0xffd4d0c8u;
constexpr unsigned kFlags = platform::DDF_SAME_HDC | platform::DDF_SAME_DRAW;

QApplication& App() {
    static int argc = 1;
    static char name[] = "qt_drawing_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Equal size and pixels; otherwise names the first pixel that differs.
::testing::AssertionResult Same(const QImage& got, const QImage& want) {
    if (got.size() != want.size()) {
        return ::testing::AssertionFailure() << "size " << got.width() << "x" << got.height()
                                             << ", wanted " << want.width() << "x" << want.height();
    }
    for (int y = 0; y < got.height(); ++y) {
        for (int x = 0; x < got.width(); ++x) {
            if (got.pixel(x, y) != want.pixel(x, y)) {
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << std::hex << got.pixel(x, y)
                       << ", wanted " << want.pixel(x, y);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// A picture of random pixels, stored bottom-up as the engine keeps it.
struct Picture {
    Picture(int w, int h, uint32_t seed) : bits(size_t(w) * h * 3) {
        std::mt19937 rng(seed);
        for (auto& b : bits) {
            b = uint8_t(rng());
        }
        info.biSize = 40;
        info.biWidth = w;
        info.biHeight = h;
        info.biPlanes = 1;
        info.biBitCount = 24;
    }
    platform::BITMAPINFOHEADER info;
    std::vector<uint8_t> bits;
};

// One draw as the view issues it: destination and source rectangles, as DrawDibDraw takes them.
struct Call {
    int xd, yd, wd, hd, xs, ys, ws, hs;
};

// The widget a target draws on; its paint events erase and then run `paint`.
class PictureWidget : public QWidget {
public:
    explicit PictureWidget(QWidget* parent) : QWidget(parent), target(this) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAutoFillBackground(false);
    }
    void paintEvent(QPaintEvent* e) override {
        QPainter painter(this);
        target.BeginPaint(painter, e->rect());
        target.Fill(e->rect(), kBackground);
        if (paint) {
            paint();
        }
        target.EndPaint();
    }

    QtCanvasTarget target;
    std::function<void()> paint;
};

class ParentWidget : public QWidget {
public:
    void paintEvent(QPaintEvent* e) override {
        QPainter(this).fillRect(e->rect(), QColor::fromRgb(kParent));
    }
};

QImage ToImage(const MemoryDrawTarget& m) {
    QImage image(m.width, m.height, QImage::Format_RGB32);
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
            image.setPixel(x, y, m.Pixel(x, y));
        }
    }
    return image;
}

// Rows of worker threads: splits every job in two, the halves on two threads.
void TwoThreads(int rows, int, platform::RowJob job, void* context) {
    std::thread other(job, context, rows / 2, rows);
    job(context, 0, rows / 2);
    other.join();
}

class QtDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        window = std::make_unique<ParentWidget>();
        window->resize(420, 300);
        // Off the window's top-left corner, as the view sits below the menu and the toolbar.
        widget = new PictureWidget(window.get());
        widget->setGeometry(17, 23, 353, 241);
        dib = platform::DrawDibOpen();
    }
    void TearDown() override { platform::DrawDibClose(dib); }

    bool Show() {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    void Draw(platform::HDC dc, const Picture& p, const Call& c) {
        platform::DrawDibDraw(dib, dc, c.xd, c.yd, c.wd, c.hd, &p.info, p.bits.data(), c.xs, c.ys,
                              c.ws, c.hs, kFlags);
    }

    // The memory surface after a background fill and the calls.
    QImage Expected(const Picture& p, const std::vector<Call>& calls) {
        MemoryDrawTarget m(widget->width(), widget->height());
        m.Clear(kBackground);
        for (const Call& c : calls) {
            Draw(&m, p, c);
        }
        return ToImage(m);
    }

    std::unique_ptr<ParentWidget> window;
    PictureWidget* widget = nullptr;
    platform::HDRAWDIB dib = nullptr;
};

// 1x and 2x, odd sizes, a source part, and destinations cut at every edge of the widget.
const std::vector<Call> kCalls = {
    {5, 5, 101, 37, 0, 0, 101, 37},     // whole picture, 1x
    {7, 50, 202, 74, 0, 0, 101, 37},    // whole picture, 2x
    {-9, 130, 202, 74, 0, 0, 101, 37},  // cut left at an odd pixel, 2x
    {300, -5, 101, 37, 0, 0, 101, 37},  // cut right and top, 1x
    {250, 200, 62, 60, 40, 3, 31, 30},  // a part, 2x, cut at the bottom
    {120, 5, 150, 33, 3, 2, 150, 33},   // source reaching past the picture's right edge
};

TEST_F(QtDrawing, DrawsOutsidePaintEventsGoStraightToTheWindow) {
    ASSERT_TRUE(Show());
    const Picture p(101, 37, 5);
    for (const Call& c : kCalls) {
        Draw(&widget->target, p, c);
    }
    EXPECT_TRUE(Same(widget->target.canvas(), Expected(p, kCalls)));
    // Nothing outside the widget was touched.
    QtCanvasTarget whole(window.get());
    const QImage all = whole.canvas();
    ASSERT_EQ(all.size(), window->size());
    for (int y = 0; y < all.height(); ++y) {
        for (int x = 0; x < all.width(); ++x) {
            if (!widget->geometry().contains(x, y)) {
                ASSERT_EQ(all.pixel(x, y), kParent) << x << "," << y;
            }
        }
    }
}

TEST_F(QtDrawing, LargeDrawsInBandsGiveTheSamePixels) {
    window->resize(1300, 700);
    widget->setGeometry(3, 9, 1290, 680);
    widget->target.SetRowRunner(TwoThreads);
    ASSERT_TRUE(Show());
    const Picture p(641, 333, 8);
    const std::vector<Call> calls = {{5, 5, 1282, 666, 0, 0, 641, 333}};
    Draw(&widget->target, p, calls[0]);
    EXPECT_TRUE(Same(widget->target.canvas(), Expected(p, calls)));
}

TEST_F(QtDrawing, PaintEventsDrawIntoTheirOwnArea) {
    const Picture before(101, 37, 1), after(101, 37, 2);
    const Picture* shown = &before;
    widget->paint = [&] {
        for (const Call& c : kCalls) {
            Draw(&widget->target, *shown, c);
        }
    };
    ASSERT_TRUE(Show());
    EXPECT_TRUE(Same(widget->target.canvas(), Expected(before, kCalls)));
    // A repaint of part of the widget changes only that part.
    shown = &after;
    const QRect part(60, 40, 211, 113);
    widget->repaint(part);
    QImage expected = Expected(before, kCalls);
    const QImage now = Expected(after, kCalls);
    for (int y = part.top(); y <= part.bottom(); ++y) {
        for (int x = part.left(); x <= part.right(); ++x) {
            expected.setPixel(x, y, now.pixel(x, y));
        }
    }
    EXPECT_TRUE(Same(widget->target.canvas(), expected));
}

TEST_F(QtDrawing, OtherDevicesGoThroughThePainter) {
    const Picture p(101, 37, 3);
    widget->paint = [&] {
        for (const Call& c : kCalls) {
            Draw(&widget->target, p, c);
        }
    };
    // A 24-bit image cannot take the 32-bit words directly; a pixmap is not an image at all.
    QImage packed(widget->size(), QImage::Format_RGB888);
    widget->render(&packed);
    EXPECT_TRUE(Same(packed.convertToFormat(QImage::Format_RGB32), Expected(p, kCalls)));
    EXPECT_TRUE(
        Same(widget->grab().toImage().convertToFormat(QImage::Format_RGB32), Expected(p, kCalls)));
}

TEST_F(QtDrawing, AHiddenWidgetDrawsNothing) {
    const Picture p(101, 37, 4);
    Draw(&widget->target, p, kCalls[0]);
    widget->target.Fill(QRect(0, 0, 50, 50), kBackground);
    widget->target.WaitUntilShown();
    ASSERT_TRUE(Show());
    EXPECT_TRUE(Same(widget->target.canvas(), Expected(p, {})));
}

}  // namespace
