#include "platform/picture_rows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

inline uint32_t Xrgb(const uint8_t* p) {
    return 0xff000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | uint32_t(p[0]);
}

// Runs a kernel over n pixels: whole blocks through the kernel, the rest through the scalar
// twin. `out` is the number of words each pixel becomes.
template <int out>
void RunRow(void (*kernel)(const uint8_t*, uint32_t*, int),
            void (*scalar)(const uint8_t*, uint32_t*, int), int block, const uint8_t* src,
            uint32_t* dst, int n) {
    const int whole = n / block * block;
    if (whole > 0) {
        kernel(src, dst, whole);
    }
    if (whole < n) {
        scalar(src + size_t(whole) * 3, dst + size_t(whole) * out, n - whole);
    }
}

}  // namespace

void DrawRowBgrToXrgb_C(const uint8_t* src, uint32_t* dst, int n) {
    for (int i = 0; i < n; ++i) {
        dst[i] = Xrgb(src + size_t(i) * 3);
    }
}

void DrawRowBgrToXrgbDoubled_C(const uint8_t* src, uint32_t* dst, int n) {
    for (int i = 0; i < n; ++i) {
        const uint32_t v = Xrgb(src + size_t(i) * 3);
        dst[2 * i] = v;
        dst[2 * i + 1] = v;
    }
}

const PictureRowKernels& ScalarPictureRows() {
    static const PictureRowKernels kernels{DrawRowBgrToXrgb_C, DrawRowBgrToXrgbDoubled_C, 1, "c"};
    return kernels;
}

const PictureRowKernels* VectorPictureRows() {
#ifdef PIXLOOM_PICTURE_ROWS_SSSE3
    static const PictureRowKernels kernels{DrawRowBgrToXrgb_SSSE3, DrawRowBgrToXrgbDoubled_SSSE3,
                                           kRowBlock, "ssse3"};
    __builtin_cpu_init();
    if (__builtin_cpu_supports("ssse3")) {
        return &kernels;
    }
#endif
    return nullptr;
}

const PictureRowKernels& PictureRows() {
    static const PictureRowKernels& chosen = []() -> const PictureRowKernels& {
        const char* cpu = std::getenv("PIXLOOM_CPU");
        const bool scalarOnly =
            cpu != nullptr && (std::strcmp(cpu, "c") == 0 || std::strcmp(cpu, "sse2") == 0);
        const PictureRowKernels* vector = VectorPictureRows();
        return vector != nullptr && !scalarOnly ? *vector : ScalarPictureRows();
    }();
    return chosen;
}

namespace {

// One request cut at the surface: destination rows y0 .. y0 + rows, columns x0 .. x0 + width.
struct Rendering {
    const PictureRowKernels* kernels;
    const DrawRequest* request;
    uint32_t* surface;
    size_t stride;
    int64_t top;  // the request's destination top, which may lie far outside the surface
    int64_t y0;
    int x0, width;
    // First picture column shown, and how many of its scaleX copies fall left of the surface.
    int column, skipped;
};

// Destination rows begin .. end of the rendering (counted from y0). Every row is made from its
// picture line, so any split of the rows gives the same pixels.
void RenderRows(void* context, int begin, int end) {
    const Rendering& g = *static_cast<const Rendering*>(context);
    const DrawRequest& r = *g.request;
    const PictureRowKernels& k = *g.kernels;
    const size_t rowBytes = size_t(r.pictureWidth) * 3;
    for (int64_t y = g.y0 + begin; y < g.y0 + end; ++y) {
        uint32_t* out = g.surface + size_t(y) * g.stride + size_t(g.x0);
        const int line = r.srcY + int((y - g.top) / r.scaleY);
        // Rows are bottom-up: picture line y is memory row height - 1 - y.
        const uint8_t* src =
            r.bits + size_t(r.pictureHeight - 1 - line) * rowBytes + size_t(g.column) * 3;
        if (r.scaleX == 1) {
            RunRow<1>(k.row, DrawRowBgrToXrgb_C, k.block, src, out, g.width);
        } else if (r.scaleX == 2) {
            int done = 0;
            if (g.skipped == 1) {
                // The surface starts at the right copy of the first column.
                out[0] = Xrgb(src);
                src += 3;
                done = 1;
            }
            const int pairs = (g.width - done) / 2;
            RunRow<2>(k.rowDoubled, DrawRowBgrToXrgbDoubled_C, k.block, src, out + done, pairs);
            done += 2 * pairs;
            if (done < g.width) {
                // The surface ends at the left copy of the last column.
                out[done] = Xrgb(src + size_t(pairs) * 3);
            }
        } else {
            for (int x = 0; x < g.width; ++x) {
                out[x] = Xrgb(src + size_t((g.skipped + x) / r.scaleX) * 3);
            }
        }
    }
}

// Rows of width pixels that make a band worth a thread of its own.
int BandRows(int width) {
    constexpr int kBandPixels = 256 * 1024;
    return (kBandPixels + width - 1) / width;
}

}  // namespace

void RenderRequestWith(const PictureRowKernels& k, const DrawRequest& r, uint32_t* surface,
                       int stride, int surfaceWidth, int surfaceHeight, RowRunner runner) {
    const int sx = r.scaleX, sy = r.scaleY;
    if (r.srcW <= 0 || r.srcH <= 0 || sx < 1 || sy < 1) {
        return;
    }
    // The destination rectangle cut at the surface, in 64 bits: positions may lie far outside.
    const int64_t left = r.dstX, top = r.dstY;
    const int64_t x0 = std::max<int64_t>(left, 0);
    const int64_t x1 = std::min<int64_t>(left + int64_t(r.srcW) * sx, surfaceWidth);
    const int64_t y0 = std::max<int64_t>(top, 0);
    const int64_t y1 = std::min<int64_t>(top + int64_t(r.srcH) * sy, surfaceHeight);
    if (x1 <= x0 || y1 <= y0) {
        return;
    }
    Rendering g;
    g.kernels = &k;
    g.request = &r;
    g.surface = surface;
    g.stride = size_t(stride);
    g.top = top;
    g.y0 = y0;
    g.x0 = int(x0);
    g.width = int(x1 - x0);
    g.column = r.srcX + int((x0 - left) / sx);
    g.skipped = int((x0 - left) % sx);
    const int rows = int(y1 - y0);
    const int minRows = BandRows(g.width);
    if (runner != nullptr && rows >= 2 * minRows) {
        runner(rows, minRows, RenderRows, &g);
    } else {
        RenderRows(&g, 0, rows);
    }
}

}  // namespace platform
