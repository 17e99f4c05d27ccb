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

void RenderRequestWith(const PictureRowKernels& k, const DrawRequest& r, uint32_t* surface,
                       int stride, int surfaceWidth, int surfaceHeight) {
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
    const int width = int(x1 - x0);
    // First picture column shown, and how many of its sx copies fall left of the surface.
    const int column = r.srcX + int((x0 - left) / sx);
    const int skipped = int((x0 - left) % sx);
    const size_t rowBytes = size_t(r.pictureWidth) * 3;
    int previousLine = -1;
    uint32_t* previousOut = nullptr;
    for (int64_t y = y0; y < y1; ++y) {
        uint32_t* out = surface + size_t(y) * size_t(stride) + size_t(x0);
        const int line = r.srcY + int((y - top) / sy);
        if (line == previousLine) {
            // The same picture line again (2x): copy the row just made.
            std::memcpy(out, previousOut, size_t(width) * 4);
            continue;
        }
        previousLine = line;
        previousOut = out;
        // Rows are bottom-up: picture line y is memory row height - 1 - y.
        const uint8_t* src =
            r.bits + size_t(r.pictureHeight - 1 - line) * rowBytes + size_t(column) * 3;
        if (sx == 1) {
            RunRow<1>(k.row, DrawRowBgrToXrgb_C, k.block, src, out, width);
        } else if (sx == 2) {
            int done = 0;
            if (skipped == 1) {
                // The surface starts at the right copy of the first column.
                out[0] = Xrgb(src);
                src += 3;
                done = 1;
            }
            const int pairs = (width - done) / 2;
            RunRow<2>(k.rowDoubled, DrawRowBgrToXrgbDoubled_C, k.block, src, out + done, pairs);
            done += 2 * pairs;
            if (done < width) {
                // The surface ends at the left copy of the last column.
                out[done] = Xrgb(src + size_t(pairs) * 3);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                out[x] = Xrgb(src + size_t((skipped + x) / sx) * 3);
            }
        }
    }
}

}  // namespace platform
