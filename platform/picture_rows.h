// Row kernels of the drawing path: blue-green-red picture bytes to the 32-bit 0xffRRGGBB words
// of a window surface, each pixel once (1x) or twice side by side (2x). The scalar kernels are
// the reference; the vector twins give the same bytes and take whole blocks of kRowBlock pixels
// (leftovers go through the scalar kernel, in RenderRequestWith).
#pragma once

#include <cstdint>

#include "platform/picture_drawing.h"

namespace platform {

// Pixels per call of a vector kernel.
constexpr int kRowBlock = 16;

// n pixels from src (3 n bytes) to dst (n words).
void DrawRowBgrToXrgb_C(const uint8_t* src, uint32_t* dst, int n);
// n pixels from src (3 n bytes) to dst (2 n words), each pixel twice.
void DrawRowBgrToXrgbDoubled_C(const uint8_t* src, uint32_t* dst, int n);

#if defined(__x86_64__) || defined(__i386__)
#define PIXLOOM_PICTURE_ROWS_SSSE3 1
// n is a multiple of kRowBlock; reads exactly 3 n bytes.
void DrawRowBgrToXrgb_SSSE3(const uint8_t* src, uint32_t* dst, int n);
void DrawRowBgrToXrgbDoubled_SSSE3(const uint8_t* src, uint32_t* dst, int n);
#endif

struct PictureRowKernels {
    void (*row)(const uint8_t* src, uint32_t* dst, int n);
    void (*rowDoubled)(const uint8_t* src, uint32_t* dst, int n);
    // Pixels per call of row and rowDoubled: 1 for the scalar kernels.
    int block;
    const char* name;
};

// The scalar kernels.
const PictureRowKernels& ScalarPictureRows();
// The vector kernels, or null when the processor has none.
const PictureRowKernels* VectorPictureRows();
// The kernels the drawing path uses: the vector ones when the processor has them, unless
// PIXLOOM_CPU is "c" or "sse2". Chosen once per process.
const PictureRowKernels& PictureRows();

// RenderRequest with the given kernels.
void RenderRequestWith(const PictureRowKernels& kernels, const DrawRequest& request,
                       uint32_t* surface, int stride, int surfaceWidth, int surfaceHeight,
                       RowRunner runner = nullptr);

}  // namespace platform
