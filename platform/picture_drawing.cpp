#include "platform/picture_drawing.h"

#include <algorithm>

#include "platform/picture_rows.h"

namespace platform {

struct DrawDib {
    DrawDibSetup setup;
};

HDRAWDIB DrawDibOpen() {
    return new DrawDib;
}

void DrawDibClose(HDRAWDIB drawDib) {
    delete drawDib;
}

bool DrawDibBegin(HDRAWDIB drawDib, HDC dc, int dstWidth, int dstHeight, const BITMAPINFOHEADER*,
                  int srcWidth, int srcHeight, unsigned) {
    if (drawDib == nullptr) {
        return false;
    }
    DrawDibSetup& s = drawDib->setup;
    s.begun = true;
    s.dc = dc;
    s.dstWidth = dstWidth;
    s.dstHeight = dstHeight;
    s.srcWidth = srcWidth;
    s.srcHeight = srcHeight;
    ++s.begins;
    return true;
}

bool DrawDibEnd(HDRAWDIB drawDib) {
    if (drawDib == nullptr) {
        return false;
    }
    drawDib->setup.begun = false;
    ++drawDib->setup.ends;
    return true;
}

unsigned DrawDibRealize(HDRAWDIB drawDib, HDC, bool) {
    if (drawDib != nullptr) {
        ++drawDib->setup.realizes;
    }
    return 0;
}

const DrawDibSetup& DrawDibState(HDRAWDIB drawDib) {
    return drawDib->setup;
}

namespace {

// The stretch factor of one axis: whole multiples only, as the viewer draws at 1x or 2x.
int Scale(int dst, int src) {
    if (src <= 0 || dst <= 0) {
        return 1;
    }
    return std::max(1, dst / src);
}

}  // namespace

bool DrawDibDraw(HDRAWDIB drawDib, HDC dc, int xDst, int yDst, int dxDst, int dyDst,
                 const BITMAPINFOHEADER* info, const void* bits, int xSrc, int ySrc, int dxSrc,
                 int dySrc, unsigned) {
    if (drawDib == nullptr || dc == nullptr || info == nullptr || bits == nullptr) {
        return false;
    }
    DrawRequest r;
    r.scaleX = Scale(dxDst, dxSrc);
    r.scaleY = Scale(dyDst, dySrc);
    r.pictureWidth = info->biWidth;
    r.pictureHeight = info->biHeight;
    r.bits = static_cast<const uint8_t*>(bits);
    // Clip the source rectangle to the picture; the destination follows it.
    int x0 = std::max(xSrc, 0), y0 = std::max(ySrc, 0);
    int x1 = std::min(xSrc + std::max(dxSrc, 0), r.pictureWidth);
    int y1 = std::min(ySrc + std::max(dySrc, 0), r.pictureHeight);
    if (x1 <= x0 || y1 <= y0) {
        return true;
    }
    r.srcX = x0;
    r.srcY = y0;
    r.srcW = x1 - x0;
    r.srcH = y1 - y0;
    r.dstX = xDst + (x0 - xSrc) * r.scaleX;
    r.dstY = yDst + (y0 - ySrc) * r.scaleY;
    dc->DrawPicture(r);
    return true;
}

void RenderRequest(const DrawRequest& r, uint32_t* surface, int stride, int surfaceWidth,
                   int surfaceHeight, RowRunner runner) {
    RenderRequestWith(PictureRows(), r, surface, stride, surfaceWidth, surfaceHeight, runner);
}

MemoryDrawTarget::MemoryDrawTarget(int w, int h)
    : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0xff000000u) {}

void MemoryDrawTarget::DrawPicture(const DrawRequest& request) {
    requests.push_back(request);
    RenderRequest(request, pixels.data(), width, width, height);
}

void MemoryDrawTarget::Clear(uint32_t colour) {
    std::fill(pixels.begin(), pixels.end(), colour);
}

}  // namespace platform
