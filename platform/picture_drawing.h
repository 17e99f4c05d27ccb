// Picture drawing: copies a rectangle of the bottom-up 24-bit RGB picture to a window,
// stretched by 1 or 2. Shaped after the DrawDib calls the viewer was designed around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

struct BITMAPINFOHEADER {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

constexpr uint32_t BI_RGB = 0;
constexpr unsigned DDF_SAME_HDC = 0x0004;
constexpr unsigned DDF_SAME_DRAW = 0x0008;

// One draw, already clipped to the picture: the source rectangle (picture pixels, (0, 0) at the
// picture's top-left corner) is shown at the destination, each pixel as scaleX x scaleY.
struct DrawRequest {
    int dstX = 0, dstY = 0;
    int srcX = 0, srcY = 0, srcW = 0, srcH = 0;
    int scaleX = 1, scaleY = 1;
    const uint8_t* bits = nullptr;  // bottom-up rows, blue-green-red, no filler bytes
    int pictureWidth = 0;           // pixels per row of bits
    int pictureHeight = 0;
};

// A surface a picture is drawn on (the window's device context).
class DrawTarget {
public:
    virtual ~DrawTarget() = default;
    // Shows the request on the surface before it returns.
    virtual void DrawPicture(const DrawRequest& request) = 0;
};
using HDC = DrawTarget*;

// Runs job(context, begin, end) over disjoint ranges that together cover 0 .. rows, each at
// least minRows long, on the calling thread and possibly on others; returns once every range
// is done.
using RowJob = void (*)(void* context, int begin, int end);
using RowRunner = void (*)(int rows, int minRows, RowJob job, void* context);

// Writes the request into a 32-bit 0xffRRGGBB surface of surfaceWidth x surfaceHeight pixels
// (stride in pixels), cutting whatever falls outside the surface. With a runner, large
// requests are written in bands of rows through it.
void RenderRequest(const DrawRequest& request, uint32_t* surface, int stride, int surfaceWidth,
                   int surfaceHeight, RowRunner runner = nullptr);

struct DrawDib;
using HDRAWDIB = DrawDib*;

HDRAWDIB DrawDibOpen();
void DrawDibClose(HDRAWDIB drawDib);
bool DrawDibBegin(HDRAWDIB drawDib, HDC dc, int dstWidth, int dstHeight,
                  const BITMAPINFOHEADER* info, int srcWidth, int srcHeight, unsigned flags);
bool DrawDibEnd(HDRAWDIB drawDib);
unsigned DrawDibRealize(HDRAWDIB drawDib, HDC dc, bool background);
// Shows the source rectangle of the picture in the destination rectangle. The source is clipped
// to the picture, so nothing outside it is read; an empty rectangle draws nothing.
bool DrawDibDraw(HDRAWDIB drawDib, HDC dc, int xDst, int yDst, int dxDst, int dyDst,
                 const BITMAPINFOHEADER* info, const void* bits, int xSrc, int ySrc, int dxSrc,
                 int dySrc, unsigned flags);

// The set-up of the last DrawDibBegin, for tests.
struct DrawDibSetup {
    bool begun = false;
    DrawTarget* dc = nullptr;
    int dstWidth = 0, dstHeight = 0, srcWidth = 0, srcHeight = 0;
    int begins = 0, ends = 0, realizes = 0;
};
const DrawDibSetup& DrawDibState(HDRAWDIB drawDib);

// A surface in memory: keeps every request and the pixels they made.
class MemoryDrawTarget : public DrawTarget {
public:
    MemoryDrawTarget(int width, int height);
    void DrawPicture(const DrawRequest& request) override;
    uint32_t Pixel(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    void Clear(uint32_t colour);

    int width, height;
    std::vector<uint32_t> pixels;
    std::vector<DrawRequest> requests;
};

}  // namespace platform
