// A plain reference of the frame conversion for the tests, written from the conversion rules:
// every position is walked pixel by pixel and moved back row by row exactly as the rules say,
// and every pixel is computed from its formula. Slow on purpose; no tables shared with the
// engine.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace reference {

// Frames as the engine holds them: the frame bytes followed by 128 zero bytes of slack.
constexpr size_t kSlack = 128;

struct Layout {
    int width = 0, height = 0;
    int ySize = 0, cSize = 0, yStride = 0, cStride = 0;
    // KORVA only.
    bool korva = false;
    bool multiplexed = false;
    bool chroma = true;  // false for a file with one component: u = v = 0
    int frameHeaderRecords = 0;
    int chromaVerticalFactor = 2;
};

inline Layout Raw(int w, int h) {
    Layout g;
    g.width = w;
    g.height = h;
    g.ySize = w * h;
    g.yStride = w;
    g.cSize = (w * h) / 4;
    g.cStride = w / 2;
    return g;
}

enum class View { kColour, kLuma, kChroma };

struct Options {
    View view = View::kColour;
    bool dual = false;
    bool delta = false;
    double scale = 1.0;
};

inline int Table(double factor, int k) {
    return static_cast<int>(std::trunc((k - 128) * factor));
}
inline int VR(int k) {
    return Table(1.1398, k);
}
inline int UG(int k) {
    return Table(-0.3983, k);
}
inline int VG(int k) {
    return Table(-0.5805, k);
}
inline int UB(int k) {
    return Table(2.0279, k);
}

inline uint8_t ClampInt(long x) {
    return uint8_t(x < 0 ? 0 : (x > 255 ? 255 : x));
}

// clamp(trunc(s x difference) + 128); a NaN product counts as 0.
inline uint8_t Delta(double s, double difference) {
    double p = s * difference;
    if (std::isnan(p)) {
        p = 0.0;
    }
    const double v = std::trunc(p) + 128.0;
    return uint8_t(v < 0.0 ? 0 : (v > 255.0 ? 255 : int(v)));
}

// A frame with its slack; every read is checked against the allocation.
class Frame {
public:
    Frame(const std::vector<uint8_t>& bytes) : bytes_(bytes) {
        bytes_.resize(bytes.size() + kSlack, 0);
    }
    int At(long i) const {
        EXPECT_GE(i, 0);
        EXPECT_LT(size_t(i), bytes_.size());
        if (i < 0 || size_t(i) >= bytes_.size()) {
            return 0;
        }
        return bytes_[size_t(i)];
    }

private:
    std::vector<uint8_t> bytes_;
};

// Channel values before limiting, in the order blue, green, red.
struct Channels {
    double b, g, r;
};

inline Channels RawChannels(View view, int Y, int U, int V) {
    switch (view) {
        case View::kLuma:
            return {double(Y), double(Y), double(Y)};
        case View::kChroma:
            return {double(128 + UB(U)), double(128 + UG(U) + VG(V)), double(128 + VR(V))};
        case View::kColour:
            break;
    }
    return {double(Y + UB(U)), double(Y + UG(U) + VG(V)), double(Y + VR(V))};
}

inline Channels KorvaChannels(int Y, int U, int V) {
    const double u = U - 128, v = V - 128;
    const double r = Y + 1.1398 * v;
    const double g0 = Y - 0.3938 * u;
    const double g = g0 - 0.5805 * v;
    const double b = Y + 2.0279 * u;
    return {b, g, r};
}

inline uint8_t Limit(double x) {
    return x < 0.0 ? 0 : (x > 255.0 ? 255 : uint8_t(int(x)));
}

struct Sample {
    int y, u, v;
};

inline void PutPixel(std::vector<uint8_t>& out, size_t& o, uint8_t b, uint8_t g, uint8_t r) {
    out[o++] = b;
    out[o++] = g;
    out[o++] = r;
}

// One half of a row: the samples of the left frame (and the right one for the right half).
inline void PutHalf(std::vector<uint8_t>& out, size_t& o, const Layout& g, const Options& opt,
                    const std::vector<Sample>& left, const std::vector<Sample>* right,
                    bool deltaHalf) {
    for (size_t j = 0; j < left.size(); ++j) {
        const Sample& l = left[j];
        Channels cl = g.korva ? KorvaChannels(l.y, l.u, l.v) : RawChannels(opt.view, l.y, l.u, l.v);
        if (deltaHalf) {
            const Sample& r = (*right)[j];
            Channels cr =
                g.korva ? KorvaChannels(r.y, r.u, r.v) : RawChannels(opt.view, r.y, r.u, r.v);
            PutPixel(out, o, Delta(opt.scale, cl.b - cr.b), Delta(opt.scale, cl.g - cr.g),
                     Delta(opt.scale, cl.r - cr.r));
        } else if (g.korva) {
            PutPixel(out, o, Limit(cl.b), Limit(cl.g), Limit(cl.r));
        } else {
            PutPixel(out, o, ClampInt(long(cl.b)), ClampInt(long(cl.g)), ClampInt(long(cl.r)));
        }
    }
}

// Walks one row of width pixels: Y advances every pixel, chroma after every odd pixel by step.
// Returns the samples; y, u and v are left where the walk ends.
inline std::vector<Sample> WalkRow(const Frame& f, int width, long& y, long& u, long& v,
                                   int chromaStep, bool chroma) {
    std::vector<Sample> s(static_cast<size_t>(width));
    for (int j = 0; j < width; ++j) {
        s[size_t(j)].y = f.At(y);
        s[size_t(j)].u = chroma ? f.At(u) : 128;
        s[size_t(j)].v = chroma ? f.At(v) : 128;
        ++y;
        if (j % 2 == 1) {
            u += chromaStep;
            v += chromaStep;
        }
    }
    return s;
}

// The picture the rules make of left (and right) frame bytes.
inline std::vector<uint8_t> Convert(const Layout& g, const Options& opt,
                                    const std::vector<uint8_t>& leftBytes,
                                    const std::vector<uint8_t>& rightBytes = {}) {
    const Frame L(leftBytes), R(rightBytes);
    const int halves = opt.dual ? 2 : 1;
    const size_t rowBytes = size_t(halves) * size_t(g.width) * 3;
    std::vector<uint8_t> out(rowBytes * size_t(g.height), 0xee);
    const long H = long(g.frameHeaderRecords) * 64;

    auto row = [&](size_t o, long y, long u, long v, int step, bool chroma, long& yEnd, long& uEnd,
                   long& vEnd) {
        long ly = y, lu = u, lv = v;
        std::vector<Sample> left = WalkRow(L, g.width, ly, lu, lv, step, chroma);
        PutHalf(out, o, g, opt, left, nullptr, false);
        if (opt.dual) {
            long ry = y, ru = u, rv = v;
            std::vector<Sample> right = WalkRow(R, g.width, ry, ru, rv, step, chroma);
            if (opt.delta) {
                // The left positions walk the row a second time with the right ones.
                long dy = y, du = u, dv = v;
                std::vector<Sample> again = WalkRow(L, g.width, dy, du, dv, step, chroma);
                PutHalf(out, o, g, opt, again, &right, true);
            } else {
                PutHalf(out, o, g, opt, right, nullptr, false);
            }
        }
        yEnd = ly;
        uEnd = lu;
        vEnd = lv;
    };

    if (!g.korva) {
        long y = g.ySize - g.yStride;
        long u = g.ySize + g.cSize - g.cStride;
        long v = g.ySize + 2L * g.cSize - g.cStride;
        for (int r = 0; r < g.height; ++r) {
            row(size_t(r) * rowBytes, y, u, v, 1, true, y, u, v);
            y -= 2L * g.width;
            u -= (r % 2 == 0) ? g.cStride : 2L * g.cStride;
            v -= (r % 2 == 0) ? g.cStride : 2L * g.cStride;
        }
        return out;
    }
    if (!g.multiplexed) {
        long y = H + g.ySize - g.yStride;
        long u = H + g.ySize + g.cSize - g.cStride;
        long v = H + g.ySize + 2L * g.cSize - g.cStride;
        for (int r = 0; r < g.height; ++r) {
            row(size_t(r) * rowBytes, y, u, v, 1, g.chroma, y, u, v);
            y -= 2L * g.width;
            if (g.chroma) {
                const long back =
                    (r % 2 == 1) ? 2L * g.cStride : long(2 / g.chromaVerticalFactor) * g.cStride;
                u -= back;
                v -= back;
            }
        }
        return out;
    }
    const long f2 = H + g.ySize + 2L * g.cSize;
    long y1 = H + g.ySize - g.yStride, y2 = f2 + g.ySize - g.yStride;
    long c1 = H + g.ySize + 2L * g.cSize - 2L * g.cStride;
    long c2 = f2 + g.ySize + 2L * g.cSize - 2L * g.cStride;
    for (int i = 0; i < g.height / 2; ++i) {
        long v1 = c1 + 1, v2 = c2 + 1, unused = 0;
        row(size_t(2 * i) * rowBytes, y1, c1, v1, 2, true, y1, c1, unused);
        row(size_t(2 * i + 1) * rowBytes, y2, c2, v2, 2, true, y2, c2, unused);
        y1 -= 2L * g.width;
        y2 -= 2L * g.width;
        const long back =
            (i % 2 == 1) ? 4L * g.cStride : long(4 / g.chromaVerticalFactor) * g.cStride;
        c1 -= back;
        c2 -= back;
    }
    // An odd last row is not written by the interlaced walk.
    if (g.height % 2 == 1) {
        out.resize(rowBytes * size_t(g.height - 1));
    }
    return out;
}

}  // namespace reference
