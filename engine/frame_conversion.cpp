#include "engine/frame_conversion.h"

#include <cstdlib>
#include <cstring>

#include "engine/cpu_features.h"
#include "engine/frame_conversion_simd.h"
#include "engine/row_bands.h"
#include "engine/sequence_display.h"
#include "platform/message_box.h"

namespace engine {

namespace {

inline uint8_t Clamp(int x) {
    return static_cast<uint8_t>(x < 0 ? 0 : (x > 255 ? 255 : x));
}

// KORVA values are limited to 0.0 .. 255.0, then truncated.
inline uint8_t Limit(double x) {
    if (x < 0.0) {
        return 0;
    }
    if (x > 255.0) {
        return 255;
    }
    return static_cast<uint8_t>(static_cast<int>(x));
}

struct KorvaRgb {
    double r, g, b;
};

// Double precision throughout; the build forbids contracting these into fused multiply-adds.
inline KorvaRgb KorvaPixel(int y, int uSample, int vSample) {
    const double u = uSample - 128;
    const double v = vSample - 128;
    return {y + 1.1398 * v, y - 0.3938 * u - 0.5805 * v, y + 2.0279 * u};
}

}  // namespace

uint8_t DeltaByte(double scale, double difference) {
    double p = scale * difference;
    if (p != p) {
        p = 0.0;
    }
    // Anything beyond +-1000 clamps to 0 or 255 all the same; cutting first keeps the
    // conversion to int defined for any scale.
    if (p > 1000.0) {
        p = 1000.0;
    } else if (p < -1000.0) {
        p = -1000.0;
    }
    return Clamp(static_cast<int>(p) + 128);
}

void DeltaTable::Build(double s) {
    for (int i = 0; i < 2 * kOffset; ++i) {
        map[i] = DeltaByte(s, i - kOffset);
    }
    fixed = DeltaFixedPoint::Derive(map, kOffset);
    scale = s;
    valid = true;
}

void ConvertRowColour_C(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out,
                        int width, const ColourTables& t) {
    for (int j = 0; j < width; ++j) {
        const int Y = y[j], U = u[j >> 1], V = v[j >> 1];
        out[0] = Clamp(Y + t.tabUB[U]);
        out[1] = Clamp(Y + t.tabUG[U] + t.tabVG[V]);
        out[2] = Clamp(Y + t.tabVR[V]);
        out += 3;
    }
}

void ConvertRowLuma_C(const uint8_t* y, uint8_t* out, int width) {
    for (int j = 0; j < width; ++j) {
        out[0] = out[1] = out[2] = y[j];
        out += 3;
    }
}

void ConvertRowChroma_C(const uint8_t* u, const uint8_t* v, uint8_t* out, int width,
                        const ColourTables& t) {
    for (int j = 0; j < width; ++j) {
        const int U = u[j >> 1], V = v[j >> 1];
        out[0] = Clamp(128 + t.tabUB[U]);
        out[1] = Clamp(128 + t.tabUG[U] + t.tabVG[V]);
        out[2] = Clamp(128 + t.tabVR[V]);
        out += 3;
    }
}

void ConvertRowColourDelta_C(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                             const uint8_t* yr, const uint8_t* ur, const uint8_t* vr, uint8_t* out,
                             int width, const ColourTables& t, const DeltaTable& delta) {
    for (int j = 0; j < width; ++j) {
        const int Yl = yl[j], Ul = ul[j >> 1], Vl = vl[j >> 1];
        const int Yr = yr[j], Ur = ur[j >> 1], Vr = vr[j >> 1];
        out[0] = delta[(Yl + t.tabUB[Ul]) - (Yr + t.tabUB[Ur])];
        out[1] = delta[(Yl + t.tabUG[Ul] + t.tabVG[Vl]) - (Yr + t.tabUG[Ur] + t.tabVG[Vr])];
        out[2] = delta[(Yl + t.tabVR[Vl]) - (Yr + t.tabVR[Vr])];
        out += 3;
    }
}

void ConvertRowLumaDelta_C(const uint8_t* yl, const uint8_t* yr, uint8_t* out, int width,
                           const DeltaTable& delta) {
    for (int j = 0; j < width; ++j) {
        out[0] = out[1] = out[2] = delta[yl[j] - yr[j]];
        out += 3;
    }
}

void ConvertRowChromaDelta_C(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur,
                             const uint8_t* vr, uint8_t* out, int width, const ColourTables& t,
                             const DeltaTable& delta) {
    for (int j = 0; j < width; ++j) {
        const int Ul = ul[j >> 1], Vl = vl[j >> 1], Ur = ur[j >> 1], Vr = vr[j >> 1];
        out[0] = delta[t.tabUB[Ul] - t.tabUB[Ur]];
        out[1] = delta[(t.tabUG[Ul] + t.tabVG[Vl]) - (t.tabUG[Ur] + t.tabVG[Vr])];
        out[2] = delta[t.tabVR[Vl] - t.tabVR[Vr]];
        out += 3;
    }
}

void ConvertRowColourWithDelta_C(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                                 const uint8_t* yr, const uint8_t* ur, const uint8_t* vr,
                                 uint8_t* left, uint8_t* right, int width, const ColourTables& t,
                                 const DeltaTable& delta) {
    ConvertRowColour_C(yl, ul, vl, left, width, t);
    ConvertRowColourDelta_C(yl, ul, vl, yr, ur, vr, right, width, t, delta);
}

void ConvertRowChromaWithDelta_C(const uint8_t* ul, const uint8_t* vl, const uint8_t* ur,
                                 const uint8_t* vr, uint8_t* left, uint8_t* right, int width,
                                 const ColourTables& t, const DeltaTable& delta) {
    ConvertRowChroma_C(ul, vl, left, width, t);
    ConvertRowChromaDelta_C(ul, vl, ur, vr, right, width, t, delta);
}

void ConvertRowKorva_C(const uint8_t* y, const uint8_t* u, const uint8_t* v, int chromaStep,
                       uint8_t* out, int width) {
    for (int j = 0; j < width; ++j) {
        const int k = (j >> 1) * chromaStep;
        const KorvaRgb p = u != nullptr ? KorvaPixel(y[j], u[k], v[k]) : KorvaPixel(y[j], 128, 128);
        out[0] = Limit(p.b);
        out[1] = Limit(p.g);
        out[2] = Limit(p.r);
        out += 3;
    }
}

void ConvertRowKorvaDelta_C(const uint8_t* yl, const uint8_t* ul, const uint8_t* vl,
                            const uint8_t* yr, const uint8_t* ur, const uint8_t* vr, int chromaStep,
                            uint8_t* out, int width, double scale) {
    for (int j = 0; j < width; ++j) {
        const int k = (j >> 1) * chromaStep;
        const KorvaRgb l =
            ul != nullptr ? KorvaPixel(yl[j], ul[k], vl[k]) : KorvaPixel(yl[j], 128, 128);
        const KorvaRgb r =
            ur != nullptr ? KorvaPixel(yr[j], ur[k], vr[k]) : KorvaPixel(yr[j], 128, 128);
        out[0] = DeltaByte(scale, l.b - r.b);
        out[1] = DeltaByte(scale, l.g - r.g);
        out[2] = DeltaByte(scale, l.r - r.r);
        out += 3;
    }
}

const ConversionKernels& ScalarKernels() {
    static const ConversionKernels kernels = {
        "c",
        ConvertRowColour_C,
        ConvertRowLuma_C,
        ConvertRowChroma_C,
        ConvertRowColourDelta_C,
        ConvertRowLumaDelta_C,
        ConvertRowChromaDelta_C,
        ConvertRowKorva_C,
        ConvertRowKorvaDelta_C,
        ConvertRowColourWithDelta_C,
        ConvertRowChromaWithDelta_C,
    };
    return kernels;
}

const ConversionKernels& ActiveStreamingKernels() {
    const ConversionKernels& active = ActiveKernels();
    return &active == &kAvx2Kernels ? kAvx2StreamingKernels : active;
}

const ConversionKernels& ActiveKernels() {
    static const ConversionKernels* chosen = [] {
        switch (ChooseCpuLevel(DetectCpuLevel(), std::getenv("PIXLOOM_CPU"))) {
            case CpuLevel::kAvx2:
                return &kAvx2Kernels;
            case CpuLevel::kSse2:
                return &kSse2Kernels;
            case CpuLevel::kC:
                break;
        }
        return &ScalarKernels();
    }();
    return *chosen;
}

namespace {

enum class RawPath { kColour, kLuma, kChroma };

// Pictures of at least this many bytes are written with the streaming kernels.
constexpr size_t kStreamingBytes = size_t(8) << 20;

// Rows of pixels pixels each that make a band worth a thread of its own.
int BandRows(int pixels) {
    constexpr int kBandPixels = 256 * 1024;
    return pixels > 0 ? (kBandPixels + pixels - 1) / pixels : 1;
}

}  // namespace

int CSequenceDisplay::ConvertFrame() {
    const int d = dual ? 2 : 1;
    const size_t rowBytes = size_t(d) * size_t(width) * 3;
    // Buffers that do not match the geometry (never made, or made for another mode) are left
    // alone rather than overrun.
    if (width <= 0 || height <= 0 || !rgbBuffer || !leftFrame ||
        rgbBuffer.size() < rowBytes * size_t(height) || leftFrame.size() < size_t(frameBytes) ||
        (dual && (!rightFrame || rightFrame.size() < size_t(frameBytes)))) {
        return 0;
    }
    // A picture too large for the cache is written past it, walking each band from its top row
    // down so that the frame planes are read in ascending order.
    const bool streaming = rowBytes * size_t(height) >= kStreamingBytes;
    const ConversionKernels& k = streaming ? ActiveStreamingKernels() : ActiveKernels();
    const uint8_t* L = leftFrame.data();
    const uint8_t* R = dual ? rightFrame.data() : nullptr;
    const bool delta = dual && deltaMode;
    uint8_t* out = rgbBuffer.data();
    const size_t halfBytes = size_t(width) * 3;

    if (isKorva == 1) {
        const bool interlaced = header.interlaceFactor == 2;
        if (uvMultiplexed == 1 && !interlaced) {
            platform::AfxMessageBox(msg::kMuxProgressive);
            platform::ExitProcess(1);
            return 0;
        }
        if (uvMultiplexed != 1 && interlaced) {
            platform::AfxMessageBox(msg::kSeparateInterlaced);
            platform::ExitProcess(1);
            return 0;
        }
        const double scale = DeltaScale();
        const int H = header.frameHeaderRecords * kKorvaRecordSize;
        const int cvf = header.chromaVerticalFactor();
        // One KORVA row of each half: the left sequence, then the right one or the delta.
        auto korvaRow = [&](uint8_t* row, int yPos, int cPos, int vPos, bool chroma, int step) {
            const uint8_t* lu = chroma ? L + cPos : nullptr;
            const uint8_t* lv = chroma ? L + vPos : nullptr;
            k.korva(L + yPos, lu, lv, step, row, width);
            if (!dual) {
                return;
            }
            const uint8_t* ru = chroma ? R + cPos : nullptr;
            const uint8_t* rv = chroma ? R + vPos : nullptr;
            if (delta) {
                k.korvaDelta(L + yPos, lu, lv, R + yPos, ru, rv, step, row + halfBytes, width,
                             scale);
            } else {
                k.korva(R + yPos, ru, rv, step, row + halfBytes, width);
            }
        };
        // Positions are worked out from the row (or pass) number, so that bands of rows can be
        // converted on several threads.
        if (uvMultiplexed == 1) {
            const int f2 = H + ySize + 2 * cSize;
            const int y1 = H + ySize - yStride, y2 = f2 + ySize - yStride;
            const int c1 = H + ySize + 2 * cSize - 2 * cStride;
            const int c2 = f2 + ySize + 2 * cSize - 2 * cStride;
            // After pass i the chroma moves by 2 x (width / 2) less 4 x cStride (odd i) or
            // (4 / cvf) x cStride (even i).
            const int evenBack = (cvf != 0 ? 4 / cvf : 0) * cStride;
            const int passes = height / 2;
            auto convertPasses = [&](int begin, int end) {
                for (int i = begin; i < end; ++i) {
                    const int chroma =
                        i * 2 * (width / 2) - (i / 2) * 4 * cStride - ((i + 1) / 2) * evenBack;
                    const int y = i * width;
                    korvaRow(out + size_t(2 * i) * rowBytes, y1 - y, c1 + chroma, c1 + chroma + 1,
                             true, 2);
                    korvaRow(out + size_t(2 * i + 1) * rowBytes, y2 - y, c2 + chroma,
                             c2 + chroma + 1, true, 2);
                }
            };
            ConversionBands().Run(passes, 1, BandRows(2 * width), convertPasses);
            return passes;
        }
        const bool chroma = header.componentCount >= 2;
        const int y0 = H + ySize - yStride;
        const int u0 = H + ySize + cSize - cStride, v0 = H + ySize + 2 * cSize - cStride;
        // After row r the chroma moves by width / 2 less 2 x cStride (odd r) or
        // (2 / cvf) x cStride (even r).
        const int evenBack = (cvf != 0 ? 2 / cvf : 0) * cStride;
        auto convertRows = [&](int begin, int end) {
            for (int r = begin; r < end; ++r) {
                const int c =
                    chroma ? r * (width / 2) - (r / 2) * 2 * cStride - ((r + 1) / 2) * evenBack : 0;
                korvaRow(out + size_t(r) * rowBytes, y0 - r * width, u0 + c, v0 + c, chroma, 1);
            }
        };
        ConversionBands().Run(height, 1, BandRows(width), convertRows);
        return height;
    }

    RawPath path = RawPath::kColour;
    if (showY == 1 && showUV == 0) {
        path = RawPath::kLuma;
    } else if (showY == 0 && showUV == 1) {
        path = RawPath::kChroma;
    }
    if (delta) {
        const double scale = DeltaScale();
        if (!deltaTable.valid || std::memcmp(&deltaTable.scale, &scale, sizeof scale) != 0) {
            deltaTable.Build(scale);
        }
    }
    const ColourTables t{tabVR, tabUG, tabVG, tabUB};
    const int uPlane = ySize, vPlane = ySize + cSize;
    auto convertRows = [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const int r = streaming ? end - 1 - (i - begin) : i;
            // Row r (from the bottom) is Y line height - 1 - r; rows 2k and 2k + 1 share a
            // chroma line, counted from the last one up.
            const int yPos = ySize - yStride - r * width;
            const int cPos = cSize - cStride - (r / 2) * cStride;
            const uint8_t *yl = L + yPos, *ul = L + uPlane + cPos, *vl = L + vPlane + cPos;
            uint8_t* left = out + size_t(r) * rowBytes;
            uint8_t* right = left + halfBytes;
            const uint8_t* yr = dual ? R + yPos : nullptr;
            const uint8_t* ur = dual ? R + uPlane + cPos : nullptr;
            const uint8_t* vr = dual ? R + vPlane + cPos : nullptr;
            // Both halves at once where they share the left sequence's work.
            if (delta && path == RawPath::kColour) {
                k.colourWithDelta(yl, ul, vl, yr, ur, vr, left, right, width, t, deltaTable);
                continue;
            }
            if (delta && path == RawPath::kChroma) {
                k.chromaWithDelta(ul, vl, ur, vr, left, right, width, t, deltaTable);
                continue;
            }
            switch (path) {
                case RawPath::kLuma:
                    k.luma(yl, left, width);
                    break;
                case RawPath::kChroma:
                    k.chroma(ul, vl, left, width, t);
                    break;
                case RawPath::kColour:
                    k.colour(yl, ul, vl, left, width, t);
                    break;
            }
            if (dual) {
                switch (path) {
                    case RawPath::kLuma:
                        delta ? k.lumaDelta(yl, yr, right, width, deltaTable)
                              : k.luma(yr, right, width);
                        break;
                    case RawPath::kChroma:
                        k.chroma(ur, vr, right, width, t);
                        break;
                    case RawPath::kColour:
                        k.colour(yr, ur, vr, right, width, t);
                        break;
                }
            }
        }
    };
    ConversionBands().Run(height, 2, BandRows(d * width), convertRows);
    return height;
}

}  // namespace engine
