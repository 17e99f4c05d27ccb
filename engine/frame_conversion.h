// Row kernels of the frame conversion and the table that picks them once per process.
// Every kernel writes width pixels of three bytes (blue, green, red); pixel j takes luma
// sample j and chroma sample j / 2. Delta kernels map each exact channel difference through a
// DeltaTable, which holds clamp(trunc(scale x difference) + 128) for every difference.
#pragma once

#include <cstdint>

#include "engine/delta_fixed_point.h"

namespace engine {

struct ColourTables {
    const int* tabVR;
    const int* tabUG;
    const int* tabVG;
    const int* tabUB;
};

// Channel differences of the raw paths lie within +-1023.
struct DeltaTable {
    static constexpr int kOffset = 1024;
    double scale = 0.0;
    bool valid = false;
    uint8_t map[2 * kOffset];
    // The same mapping for the vector kernels.
    DeltaFixedPoint fixed;
    void Build(double s);
    uint8_t operator[](int difference) const { return map[difference + kOffset]; }
};

// clamp(trunc(scale x difference) + 128); a NaN product counts as 0.
uint8_t DeltaByte(double scale, double difference);

using RowColourFn = void (*)(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out,
                             int width, const ColourTables& t);
using RowLumaFn = void (*)(const uint8_t* y, uint8_t* out, int width);
using RowChromaFn = void (*)(const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
                             const ColourTables& t);
using RowColourDeltaFn = void (*)(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                                  const uint8_t* yr, const uint8_t* ur, const uint8_t* vr,
                                  uint8_t* out, int width, const ColourTables& t,
                                  const DeltaTable& delta);
using RowLumaDeltaFn = void (*)(const uint8_t* yl, const uint8_t* yr, uint8_t* out, int width,
                                const DeltaTable& delta);
using RowChromaDeltaFn = void (*)(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur,
                                  const uint8_t* vr, uint8_t* out, int width, const ColourTables& t,
                                  const DeltaTable& delta);
// Both halves of a dual delta row: the left sequence into left, as the colour (or chroma)
// kernel writes it, and the delta picture into right, as the delta kernel writes it.
using RowColourWithDeltaFn = void (*)(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                                      const uint8_t* yr, const uint8_t* ur, const uint8_t* vr,
                                      uint8_t* left, uint8_t* right, int width,
                                      const ColourTables& t, const DeltaTable& delta);
using RowChromaWithDeltaFn = void (*)(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur,
                                      const uint8_t* vr, uint8_t* left, uint8_t* right, int width,
                                      const ColourTables& t, const DeltaTable& delta);
// KORVA rows in double precision. chromaStep is 1 for separate planes (u and v point into
// their planes) and 2 for multiplexed U/V (v = u + 1). Null u and v mean a file without
// chroma, shown as u = v = 0.
using RowKorvaFn = void (*)(const uint8_t* y, const uint8_t* u, const uint8_t* v, int chromaStep,
                            uint8_t* out, int width);
using RowKorvaDeltaFn = void (*)(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                                 const uint8_t* yr, const uint8_t* ur, const uint8_t* vr,
                                 int chromaStep, uint8_t* out, int width, double scale);

void ConvertRowColour_C(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out,
                        int width, const ColourTables& t);
void ConvertRowLuma_C(const uint8_t* y, uint8_t* out, int width);
void ConvertRowChroma_C(const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
                        const ColourTables& t);
void ConvertRowColourDelta_C(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                             const uint8_t* yr, const uint8_t* ur, const uint8_t* vr, uint8_t* out,
                             int width, const ColourTables& t, const DeltaTable& delta);
void ConvertRowLumaDelta_C(const uint8_t* yl, const uint8_t* yr, uint8_t* out, int width,
                           const DeltaTable& delta);
void ConvertRowChromaDelta_C(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur,
                             const uint8_t* vr, uint8_t* out, int width, const ColourTables& t,
                             const DeltaTable& delta);
void ConvertRowColourWithDelta_C(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                                 const uint8_t* yr, const uint8_t* ur, const uint8_t* vr,
                                 uint8_t* left, uint8_t* right, int width, const ColourTables& t,
                                 const DeltaTable& delta);
void ConvertRowChromaWithDelta_C(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur,
                                 const uint8_t* vr, uint8_t* left, uint8_t* right, int width,
                                 const ColourTables& t, const DeltaTable& delta);
void ConvertRowKorva_C(const uint8_t* y, const uint8_t* u, const uint8_t* v, int chromaStep,
                       uint8_t* out, int width);
void ConvertRowKorvaDelta_C(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                            const uint8_t* yr, const uint8_t* ur, const uint8_t* vr, int chromaStep,
                            uint8_t* out, int width, double scale);

struct ConversionKernels {
    const char* name;
    RowColourFn colour;
    RowLumaFn luma;
    RowChromaFn chroma;
    RowColourDeltaFn colourDelta;
    RowLumaDeltaFn lumaDelta;
    RowChromaDeltaFn chromaDelta;
    RowKorvaFn korva;
    RowKorvaDeltaFn korvaDelta;
    RowColourWithDeltaFn colourWithDelta;
    RowChromaWithDeltaFn chromaWithDelta;
};

// The scalar kernels.
const ConversionKernels& ScalarKernels();
// The kernels in use: chosen once, at first use, from the processor's features (AVX2, else
// SSE2); the environment variable PIXLOOM_CPU=c forces the scalar ones, PIXLOOM_CPU=sse2 the
// SSE2 ones.
const ConversionKernels& ActiveKernels();
// The same kernels, writing the raw paths' rows past the cache where the processor allows it:
// for pictures too large to stay in the cache.
const ConversionKernels& ActiveStreamingKernels();

}  // namespace engine
