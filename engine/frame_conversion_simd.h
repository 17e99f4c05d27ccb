// The vector kernels of the frame conversion: SSE2 (every x86-64 processor) and AVX2. A
// kernel converts a whole number of its blocks of pixels; the Any wrappers below convert a
// whole row, leaving the pixels after the last block to the scalar kernel. Every vector kernel
// writes exactly the bytes its scalar twin writes.
#pragma once

#include <cstdint>

#include "engine/frame_conversion.h"

namespace engine {

// Tables of vector kernels; the AVX2 ones may be used only where DetectCpuLevel reports AVX2.
// The streaming table writes the rows of raw pictures past the cache (non-temporal stores).
extern const ConversionKernels kSse2Kernels;
extern const ConversionKernels kAvx2Kernels;
extern const ConversionKernels kAvx2StreamingKernels;

namespace simd {

// The colour tables as 16-bit fixed point on d = k - 128:
//   trunc(d x |factor|) = floor(((d << shift) x mul) / 2^16) + (d < 0 ? 1 : 0)
// for every d in -128..127 (no product lies on an integer, so the floor of a negative product
// is one below its truncation). tabUG and tabVG are the negatives of their terms.
struct TableMultiplier {
    int shift;
    int mul;
};
inline constexpr TableMultiplier kUB{3, 16612};  // 2.0279
inline constexpr TableMultiplier kUG{0, 26100};  // 0.3983
inline constexpr TableMultiplier kVG{2, 9511};   // 0.5805
inline constexpr TableMultiplier kVR{2, 18676};  // 1.1398

constexpr int TableTerm(int d, TableMultiplier m) {
    const int product = (d * (1 << m.shift)) * m.mul;
    return (product >> 16) + (d < 0 ? 1 : 0);
}

// Row wrappers. Kernel arguments are the _C kernels' with width a positive multiple of kBlock.
template <int kBlock, RowColourFn kKernel>
void ColourAny(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
               const ColourTables& t) {
    const int n = width & ~(kBlock - 1);
    if (n > 0) {
        kKernel(y, u, v, out, n, t);
    }
    if (width > n) {
        ConvertRowColour_C(y + n, u + n / 2, v + n / 2, out + 3 * n, width - n, t);
    }
}

template <int kBlock, RowLumaFn kKernel>
void LumaAny(const uint8_t* y, uint8_t* out, int width) {
    const int n = width & ~(kBlock - 1);
    if (n > 0) {
        kKernel(y, out, n);
    }
    if (width > n) {
        ConvertRowLuma_C(y + n, out + 3 * n, width - n);
    }
}

template <int kBlock, RowChromaFn kKernel>
void ChromaAny(const uint8_t* u, const uint8_t* v, uint8_t* out, int width, const ColourTables& t) {
    const int n = width & ~(kBlock - 1);
    if (n > 0) {
        kKernel(u, v, out, n, t);
    }
    if (width > n) {
        ConvertRowChroma_C(u + n / 2, v + n / 2, out + 3 * n, width - n, t);
    }
}

// Delta kernels come in one version per DeltaFixedPoint form; the wrapper picks the one for the
// scale and passes the left and right planes in the order the form wants them (swapped for a
// negative scale, whose byte for d is the positive scale's byte for -d). Without an exact form
// the whole row goes to the scalar kernel and its table.
// The vector steps of each DeltaFixedPoint form, one kernel version each: a one-part form
// shifts either before its multiply (scales of 1 and more) or after it.
enum class DeltaSteps { kLinear, kShiftBefore, kShiftAfter, kTwoPart, kTwoPartExceptions };

template <typename Fn>
struct DeltaVersions {
    Fn linear, shiftBefore, shiftAfter, twoPart, twoPartExceptions;
};

// Static: every kernel file keeps its own copy, built for its instruction set.
template <typename Fn>
static Fn VersionFor(const DeltaVersions<Fn>& v, const DeltaFixedPoint& f) {
    switch (f.kind) {
        case DeltaFixedPoint::Kind::kLinear:
            return v.linear;
        case DeltaFixedPoint::Kind::kOnePart:
            return f.preShift > 0 ? v.shiftBefore : v.shiftAfter;
        case DeltaFixedPoint::Kind::kTwoPart:
            break;
    }
    return f.exceptions > 0 ? v.twoPartExceptions : v.twoPart;
}

template <int kBlock, const DeltaVersions<RowColourDeltaFn>& kKernels>
void ColourDeltaAny(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl, const uint8_t* yr,
                    const uint8_t* ur, const uint8_t* vr, uint8_t* out, int width,
                    const ColourTables& t, const DeltaTable& delta) {
    const DeltaFixedPoint& f = delta.fixed;
    const int n = f.exact ? width & ~(kBlock - 1) : 0;
    if (n > 0) {
        const RowColourDeltaFn kernel = VersionFor(kKernels, f);
        if (f.negate) {
            kernel(yr, ur, vr, yl, ul, vl, out, n, t, delta);
        } else {
            kernel(yl, ul, vl, yr, ur, vr, out, n, t, delta);
        }
    }
    if (width > n) {
        const int c = n / 2;
        ConvertRowColourDelta_C(yl + n, ul + c, vl + c, yr + n, ur + c, vr + c, out + 3 * n,
                                width - n, t, delta);
    }
}

template <int kBlock, const DeltaVersions<RowLumaDeltaFn>& kKernels>
void LumaDeltaAny(const uint8_t* yl, const uint8_t* yr, uint8_t* out, int width,
                  const DeltaTable& delta) {
    const DeltaFixedPoint& f = delta.fixed;
    const int n = f.exact ? width & ~(kBlock - 1) : 0;
    if (n > 0) {
        const RowLumaDeltaFn kernel = VersionFor(kKernels, f);
        if (f.negate) {
            kernel(yr, yl, out, n, delta);
        } else {
            kernel(yl, yr, out, n, delta);
        }
    }
    if (width > n) {
        ConvertRowLumaDelta_C(yl + n, yr + n, out + 3 * n, width - n, delta);
    }
}

template <int kBlock, const DeltaVersions<RowChromaDeltaFn>& kKernels>
void ChromaDeltaAny(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur, const uint8_t* vr,
                    uint8_t* out, int width, const ColourTables& t, const DeltaTable& delta) {
    const DeltaFixedPoint& f = delta.fixed;
    const int n = f.exact ? width & ~(kBlock - 1) : 0;
    if (n > 0) {
        const RowChromaDeltaFn kernel = VersionFor(kKernels, f);
        if (f.negate) {
            kernel(ur, vr, ul, vl, out, n, t, delta);
        } else {
            kernel(ul, vl, ur, vr, out, n, t, delta);
        }
    }
    if (width > n) {
        const int c = n / 2;
        ConvertRowChromaDelta_C(ul + c, vl + c, ur + c, vr + c, out + 3 * n, width - n, t, delta);
    }
}

// Both halves of a dual delta row. kFused converts whole blocks of both halves at once, for a
// scale with an exact form that is not negated; otherwise the row goes to the two row kernels
// kColour and kDelta (Any wrappers).
template <int kBlock, RowColourFn kColour, RowColourDeltaFn kDelta,
          const DeltaVersions<RowColourWithDeltaFn>& kFused>
void ColourWithDeltaAny(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl, const uint8_t* yr,
                        const uint8_t* ur, const uint8_t* vr, uint8_t* left, uint8_t* right,
                        int width, const ColourTables& t, const DeltaTable& delta) {
    const DeltaFixedPoint& f = delta.fixed;
    const int n = f.exact && !f.negate ? width & ~(kBlock - 1) : 0;
    if (n == 0) {
        kColour(yl, ul, vl, left, width, t);
        kDelta(yl, ul, vl, yr, ur, vr, right, width, t, delta);
        return;
    }
    VersionFor(kFused, f)(yl, ul, vl, yr, ur, vr, left, right, n, t, delta);
    if (width > n) {
        const int c = n / 2;
        ConvertRowColour_C(yl + n, ul + c, vl + c, left + 3 * n, width - n, t);
        ConvertRowColourDelta_C(yl + n, ul + c, vl + c, yr + n, ur + c, vr + c, right + 3 * n,
                                width - n, t, delta);
    }
}

template <int kBlock, RowChromaFn kChroma, RowChromaDeltaFn kDelta,
          const DeltaVersions<RowChromaWithDeltaFn>& kFused>
void ChromaWithDeltaAny(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur, const uint8_t* vr,
                        uint8_t* left, uint8_t* right, int width, const ColourTables& t,
                        const DeltaTable& delta) {
    const DeltaFixedPoint& f = delta.fixed;
    const int n = f.exact && !f.negate ? width & ~(kBlock - 1) : 0;
    if (n == 0) {
        kChroma(ul, vl, left, width, t);
        kDelta(ul, vl, ur, vr, right, width, t, delta);
        return;
    }
    VersionFor(kFused, f)(ul, vl, ur, vr, left, right, n, t, delta);
    if (width > n) {
        const int c = n / 2;
        ConvertRowChroma_C(ul + c, vl + c, left + 3 * n, width - n, t);
        ConvertRowChromaDelta_C(ul + c, vl + c, ur + c, vr + c, right + 3 * n, width - n, t, delta);
    }
}

// The two halves one after the other, for kernel sets without fused kernels.
template <RowColourFn kColour, RowColourDeltaFn kDelta>
void ColourThenDelta(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl, const uint8_t* yr,
                     const uint8_t* ur, const uint8_t* vr, uint8_t* left, uint8_t* right, int width,
                     const ColourTables& t, const DeltaTable& delta) {
    kColour(yl, ul, vl, left, width, t);
    kDelta(yl, ul, vl, yr, ur, vr, right, width, t, delta);
}

template <RowChromaFn kChroma, RowChromaDeltaFn kDelta>
void ChromaThenDelta(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur, const uint8_t* vr,
                     uint8_t* left, uint8_t* right, int width, const ColourTables& t,
                     const DeltaTable& delta) {
    kChroma(ul, vl, left, width, t);
    kDelta(ul, vl, ur, vr, right, width, t, delta);
}

// KORVA kernels for one chroma layout: separate planes (step 1) or multiplexed U/V (step 2).
using KorvaBlockFn = void (*)(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out,
                              int width);
using KorvaDeltaBlockFn = void (*)(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                                   const uint8_t* yr, const uint8_t* ur, const uint8_t* vr,
                                   uint8_t* out, int width, double scale);

// Without chroma (u = v = 0) every KORVA value is Y itself: the luma kernel.
template <int kBlock, KorvaBlockFn kSeparate, KorvaBlockFn kMultiplexed, RowLumaFn kLuma>
void KorvaAny(const uint8_t* y, const uint8_t* u, const uint8_t* v, int chromaStep, uint8_t* out,
              int width) {
    int n = width & ~(kBlock - 1);
    if (n > 0) {
        if (u == nullptr) {
            kLuma(y, out, n);
        } else if (chromaStep == 1) {
            kSeparate(y, u, v, out, n);
        } else if (chromaStep == 2) {
            kMultiplexed(y, u, v, out, n);
        } else {
            n = 0;
        }
    }
    if (width > n) {
        const int c = (n / 2) * chromaStep;
        ConvertRowKorva_C(y + n, u != nullptr ? u + c : nullptr, v != nullptr ? v + c : nullptr,
                          chromaStep, out + 3 * n, width - n);
    }
}

// A scale that is not finite (NaN products) goes to the scalar kernel, as does a file without
// chroma in only one of the two sequences (never made by one geometry, kept for safety).
template <int kBlock, KorvaDeltaBlockFn kSeparate, KorvaDeltaBlockFn kMultiplexed,
          KorvaDeltaBlockFn kNoChroma>
void KorvaDeltaAny(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl, const uint8_t* yr,
                   const uint8_t* ur, const uint8_t* vr, int chromaStep, uint8_t* out, int width,
                   double scale) {
    int n = __builtin_isfinite(scale) ? width & ~(kBlock - 1) : 0;
    if (n > 0) {
        if (ul == nullptr && ur == nullptr) {
            kNoChroma(yl, nullptr, nullptr, yr, nullptr, nullptr, out, n, scale);
        } else if (ul == nullptr || ur == nullptr) {
            n = 0;
        } else if (chromaStep == 1) {
            kSeparate(yl, ul, vl, yr, ur, vr, out, n, scale);
        } else if (chromaStep == 2) {
            kMultiplexed(yl, ul, vl, yr, ur, vr, out, n, scale);
        } else {
            n = 0;
        }
    }
    if (width > n) {
        const int c = (n / 2) * chromaStep;
        ConvertRowKorvaDelta_C(yl + n, ul != nullptr ? ul + c : nullptr,
                               vl != nullptr ? vl + c : nullptr, yr + n,
                               ur != nullptr ? ur + c : nullptr, vr != nullptr ? vr + c : nullptr,
                               chromaStep, out + 3 * n, width - n, scale);
    }
}

}  // namespace simd
}  // namespace engine
