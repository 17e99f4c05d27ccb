// The vector kernels against the scalar ones, byte for byte: rows of every small width and of
// aligned, aligned + 1 and odd large widths, inputs and outputs that end (or start) at a page
// with no access, every delta scale kind, KORVA extremes; and whole pictures converted with
// PIXLOOM_CPU forced to c and sse2 on one thread in a child process against the default
// kernels and worker threads.
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "engine/cpu_features.h"
#include "engine/delta_fixed_point.h"
#include "engine/frame_conversion.h"
#include "engine/frame_conversion_simd.h"
#include "engine/sequence_display.h"
#include "tests/support/sequence_files.h"

extern char** environ;

namespace {

using engine::ConversionKernels;
using engine::CpuLevel;
using engine::DeltaFixedPoint;
using engine::DeltaTable;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Bytes placed against a page with no access: ending at it (kEnd) or starting right after one
// (kStart), so that any access past either edge faults.
class GuardedBytes {
public:
    enum class Edge { kEnd, kStart };

    GuardedBytes(size_t n, Edge edge) : size_(n) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t span = (n + page - 1) / page * page + page;
        total_ = span + 2 * page;
        void* base =
            mmap(nullptr, total_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) {
            ADD_FAILURE() << "mmap failed";
            return;
        }
        base_ = static_cast<uint8_t*>(base);
        mprotect(base_, page, PROT_NONE);
        mprotect(base_ + page + span, page, PROT_NONE);
        data_ = edge == Edge::kEnd ? base_ + page + span - n : base_ + page;
    }
    GuardedBytes(const std::vector<uint8_t>& bytes, Edge edge) : GuardedBytes(bytes.size(), edge) {
        if (data_ != nullptr && !bytes.empty()) {
            std::memcpy(data_, bytes.data(), bytes.size());
        }
    }
    ~GuardedBytes() {
        if (base_ != nullptr) {
            munmap(base_, total_);
        }
    }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    uint8_t* data() { return data_; }
    std::vector<uint8_t> bytes() const { return std::vector<uint8_t>(data_, data_ + size_); }

private:
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t total_ = 0;
};

using Edge = GuardedBytes::Edge;

std::vector<uint8_t> Random(size_t n, std::mt19937& rng) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        b = uint8_t(rng() >> 24);
    }
    return v;
}

// Half the bytes from the values at the ends of the ranges, half uniform.
std::vector<uint8_t> Extremes(size_t n, std::mt19937& rng) {
    static const uint8_t kEnds[] = {0, 1, 2, 126, 127, 128, 129, 253, 254, 255};
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        const uint32_t r = rng();
        b = (r & 1) ? kEnds[(r >> 8) % std::size(kEnds)] : uint8_t(r >> 24);
    }
    return v;
}

// base plus a small change per byte, clamped: differences near zero.
std::vector<uint8_t> Near(const std::vector<uint8_t>& base, std::mt19937& rng) {
    std::vector<uint8_t> v(base.size());
    for (size_t i = 0; i < v.size(); ++i) {
        const int x = base[i] + int(rng() % 7) - 3;
        v[i] = uint8_t(x < 0 ? 0 : (x > 255 ? 255 : x));
    }
    return v;
}

std::vector<int> Widths() {
    std::vector<int> widths;
    for (int w = 1; w <= 70; ++w) {
        widths.push_back(w);
    }
    for (int w : {95, 96, 97, 127, 128, 129, 255, 256, 257, 1919, 1920, 1921, 3840}) {
        widths.push_back(w);
    }
    return widths;
}

const std::vector<double>& Scales() {
    static const std::vector<double> scales = {0.0,   0.5,  1.0,   -1.0,  3.7,       1e9,
                                               kNaN,  -0.0, kInf,  -kInf, 0.7,       1.4,
                                               -0.35, 2.0,  0.001, 255.0, 3.0 / 11.0};
    return scales;
}

struct KernelSet {
    const char* name;
    const ConversionKernels* kernels;
};

void PrintTo(const KernelSet& set, std::ostream* os) {
    *os << set.name;
}

std::vector<KernelSet> VectorKernelSets() {
    std::vector<KernelSet> sets = {{"sse2", &engine::kSse2Kernels}};
    if (engine::DetectCpuLevel() >= CpuLevel::kAvx2) {
        sets.push_back({"avx2", &engine::kAvx2Kernels});
        sets.push_back({"avx2_streaming", &engine::kAvx2StreamingKernels});
    }
    return sets;
}

const engine::CSequenceDisplay& TableOwner() {
    static const engine::CSequenceDisplay display;
    return display;
}

engine::ColourTables Tables() {
    const auto& d = TableOwner();
    return {d.tabVR, d.tabUG, d.tabVG, d.tabUB};
}

// Runs make(out) with out a guarded picture row of width pixels and with a plain one for the
// scalar kernel, then compares every byte.
void ExpectSameRow(int width, Edge edge, const std::function<void(uint8_t*)>& scalar,
                   const std::function<void(uint8_t*)>& vector, const std::string& what) {
    std::vector<uint8_t> expected(size_t(width) * 3, 0x5A);
    scalar(expected.data());
    std::mt19937 rng{uint32_t(width)};
    GuardedBytes out(Random(size_t(width) * 3, rng), edge);
    vector(out.data());
    const std::vector<uint8_t> got = out.bytes();
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] != expected[i]) {
            ADD_FAILURE() << what << " width " << width << ": pixel " << i / 3 << " channel "
                          << i % 3 << " is " << int(got[i]) << ", want " << int(expected[i]);
            return;
        }
    }
}

// The same for kernels that write two rows (the halves of a dual row).
void ExpectSameRows(int width, Edge edge, const std::function<void(uint8_t*, uint8_t*)>& scalar,
                    const std::function<void(uint8_t*, uint8_t*)>& vector,
                    const std::string& what) {
    std::vector<uint8_t> left(size_t(width) * 3, 0x5A), right(size_t(width) * 3, 0xA5);
    scalar(left.data(), right.data());
    std::mt19937 rng{uint32_t(width)};
    GuardedBytes outLeft(Random(size_t(width) * 3, rng), edge);
    GuardedBytes outRight(Random(size_t(width) * 3, rng), edge);
    vector(outLeft.data(), outRight.data());
    EXPECT_EQ(outLeft.bytes(), left) << what << ", left half";
    EXPECT_EQ(outRight.bytes(), right) << what << ", right half";
}

class SimdKernelsTest : public ::testing::TestWithParam<KernelSet> {
protected:
    const ConversionKernels& simd() const { return *GetParam().kernels; }
    const ConversionKernels& scalar() const { return engine::ScalarKernels(); }
};

std::string Case(const char* kernel, int width, Edge edge) {
    return std::string(kernel) + (edge == Edge::kEnd ? " (end guard)" : " (start guard)") +
           " width " + std::to_string(width);
}

TEST(SimdTablesTest, FixedPointTermsEqualEveryColourTableEntry) {
    using engine::simd::TableTerm;
    const auto& d = TableOwner();
    for (int k = 0; k < 256; ++k) {
        const int x = k - 128;
        SCOPED_TRACE("k = " + std::to_string(k));
        EXPECT_EQ(TableTerm(x, engine::simd::kUB), d.tabUB[k]);
        EXPECT_EQ(-TableTerm(x, engine::simd::kUG), d.tabUG[k]);
        EXPECT_EQ(-TableTerm(x, engine::simd::kVG), d.tabVG[k]);
        EXPECT_EQ(TableTerm(x, engine::simd::kVR), d.tabVR[k]);
        EXPECT_EQ(TableTerm(x, engine::simd::kUB), int(std::trunc(x * 2.0279)));
        EXPECT_EQ(TableTerm(x, engine::simd::kVR), int(std::trunc(x * 1.1398)));
    }
    // The entries the tables are known by.
    EXPECT_EQ(TableTerm(-128, engine::simd::kUB), -259);
    EXPECT_EQ(TableTerm(127, engine::simd::kUB), 257);
    EXPECT_EQ(-TableTerm(-128, engine::simd::kUG), 50);
    EXPECT_EQ(-TableTerm(-127, engine::simd::kVG), 73);
    EXPECT_EQ(TableTerm(-128, engine::simd::kVR), -145);
}

TEST(CpuFeaturesTest, PixloomCpuLowersTheDetectedLevel) {
    struct Row {
        CpuLevel detected;
        const char* value;
        CpuLevel want;
    };
    const Row rows[] = {
        {CpuLevel::kAvx2, nullptr, CpuLevel::kAvx2}, {CpuLevel::kAvx2, "c", CpuLevel::kC},
        {CpuLevel::kAvx2, "sse2", CpuLevel::kSse2},  {CpuLevel::kAvx2, "avx2", CpuLevel::kAvx2},
        {CpuLevel::kAvx2, "", CpuLevel::kAvx2},      {CpuLevel::kAvx2, "neon", CpuLevel::kAvx2},
        {CpuLevel::kSse2, "avx2", CpuLevel::kSse2},  {CpuLevel::kSse2, "c", CpuLevel::kC},
        {CpuLevel::kC, "sse2", CpuLevel::kC},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(engine::ChooseCpuLevel(row.detected, row.value), row.want)
            << engine::CpuLevelName(row.detected) << " with "
            << (row.value ? row.value : "(unset)");
    }
    EXPECT_GE(engine::DetectCpuLevel(), CpuLevel::kSse2);
}

void ExpectFormReproduces(double scale) {
    DeltaTable table;
    table.Build(scale);
    const DeltaFixedPoint& f = table.fixed;
    if (!f.exact) {
        return;
    }
    // A one-part form shifts on one side of its multiply only: the kernels have a version each.
    if (f.kind == DeltaFixedPoint::Kind::kOnePart) {
        EXPECT_TRUE(f.preShift == 0 || f.shift == 0) << "scale " << scale;
    }
    for (int d = -DeltaFixedPoint::kRange; d <= DeltaFixedPoint::kRange; ++d) {
        ASSERT_EQ(f.Evaluate(d), table[d]) << "scale " << scale << " difference " << d;
    }
}

TEST(DeltaFixedPointTest, ReproducesTheTableWheneverItClaimsTo) {
    for (double s : Scales()) {
        ExpectFormReproduces(s);
    }
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> linear(-12.0, 12.0);
    std::uniform_real_distribution<double> exponent(-12.0, 12.0);
    for (int i = 0; i < 300; ++i) {
        ExpectFormReproduces(linear(rng));
        ExpectFormReproduces(std::exp(exponent(rng)));
    }
}

// Typed-in scales land beside integers in double (0.7 x 10 is exactly 7, 0.7 x 90 just below
// 63): each needs its exceptions, and must still take the vector path.
TEST(DeltaFixedPointTest, DecimalScalesHaveAnExactForm) {
    for (int i = -1000; i <= 1000; ++i) {
        DeltaTable table;
        table.Build(i / 100.0);
        ASSERT_TRUE(table.fixed.exact) << "scale " << i / 100.0;
    }
    for (double s : {0.0, 0.5, 1.0, -1.0, 3.7, 1e9, kNaN, kInf, -kInf, -0.0, 1e300, 1e-300}) {
        DeltaTable table;
        table.Build(s);
        EXPECT_TRUE(table.fixed.exact) << "scale " << s;
    }
    DeltaTable table;
    table.Build(0.7);
    EXPECT_EQ(table.fixed.kind, DeltaFixedPoint::Kind::kTwoPart);
    EXPECT_GT(table.fixed.exceptions, 0);
    EXPECT_EQ(table[90], 128 + 62);
    EXPECT_EQ(table[10], 128 + 7);
    EXPECT_EQ(table[-90], 128 - 62);
}

// The scales the kernel tests run over reach every form and the table fallback.
TEST(DeltaFixedPointTest, TestScalesReachEveryForm) {
    int linear = 0, shiftBefore = 0, shiftAfter = 0, twoPart = 0, exceptions = 0, table = 0,
        negated = 0;
    for (double s : Scales()) {
        DeltaTable t;
        t.Build(s);
        const DeltaFixedPoint& f = t.fixed;
        table += !f.exact;
        negated += f.exact && f.negate;
        if (f.exact && f.kind == DeltaFixedPoint::Kind::kLinear) {
            ++linear;
        } else if (f.exact && f.kind == DeltaFixedPoint::Kind::kOnePart) {
            ++(f.preShift > 0 ? shiftBefore : shiftAfter);
        } else if (f.exact && f.exceptions == 0) {
            ++twoPart;
        } else if (f.exact) {
            ++exceptions;
        }
    }
    EXPECT_GT(linear, 0);
    EXPECT_GT(shiftBefore, 0);
    EXPECT_GT(shiftAfter, 0);
    EXPECT_GT(twoPart, 0);
    EXPECT_GT(exceptions, 0);
    EXPECT_GT(table, 0);
    EXPECT_GT(negated, 0);
}

TEST_P(SimdKernelsTest, ColourRows) {
    const auto t = Tables();
    for (Edge edge : {Edge::kEnd, Edge::kStart}) {
        for (int w : Widths()) {
            std::mt19937 rng{uint32_t(w) * 31u + uint32_t(edge)};
            GuardedBytes y(Random(size_t(w), rng), edge);
            GuardedBytes u(Random(size_t(w + 1) / 2, rng), edge);
            GuardedBytes v(Random(size_t(w + 1) / 2, rng), edge);
            ExpectSameRow(
                w, edge,
                [&](uint8_t* out) { scalar().colour(y.data(), u.data(), v.data(), out, w, t); },
                [&](uint8_t* out) { simd().colour(y.data(), u.data(), v.data(), out, w, t); },
                Case("colour", w, edge));
        }
    }
}

// Every U, V pair with luma at random, 0 and 255: every table term and every clamp.
TEST_P(SimdKernelsTest, ColourAndChromaCoverEveryChromaPair) {
    const auto t = Tables();
    const int w = 512;
    std::mt19937 rng(3);
    std::vector<uint8_t> u(256);
    for (int k = 0; k < 256; ++k) {
        u[size_t(k)] = uint8_t(k);
    }
    for (int vValue = 0; vValue < 256; ++vValue) {
        const std::vector<uint8_t> v(256, uint8_t(vValue));
        for (int pattern = 0; pattern < 3; ++pattern) {
            std::vector<uint8_t> y = Random(w, rng);
            if (pattern > 0) {
                y.assign(w, pattern == 1 ? 0 : 255);
            }
            std::vector<uint8_t> want(w * 3), got(w * 3);
            scalar().colour(y.data(), u.data(), v.data(), want.data(), w, t);
            simd().colour(y.data(), u.data(), v.data(), got.data(), w, t);
            ASSERT_EQ(got, want) << "colour, v " << vValue << " pattern " << pattern;
        }
        std::vector<uint8_t> want(w * 3), got(w * 3);
        scalar().chroma(u.data(), v.data(), want.data(), w, t);
        simd().chroma(u.data(), v.data(), got.data(), w, t);
        ASSERT_EQ(got, want) << "chroma, v " << vValue;
    }
}

TEST_P(SimdKernelsTest, LumaRows) {
    for (Edge edge : {Edge::kEnd, Edge::kStart}) {
        for (int w : Widths()) {
            std::mt19937 rng{uint32_t(w) * 37u + uint32_t(edge)};
            GuardedBytes y(Random(size_t(w), rng), edge);
            ExpectSameRow(
                w, edge, [&](uint8_t* out) { scalar().luma(y.data(), out, w); },
                [&](uint8_t* out) { simd().luma(y.data(), out, w); }, Case("luma", w, edge));
        }
    }
}

TEST_P(SimdKernelsTest, ChromaRows) {
    const auto t = Tables();
    for (Edge edge : {Edge::kEnd, Edge::kStart}) {
        for (int w : Widths()) {
            std::mt19937 rng{uint32_t(w) * 41u + uint32_t(edge)};
            GuardedBytes u(Random(size_t(w + 1) / 2, rng), edge);
            GuardedBytes v(Random(size_t(w + 1) / 2, rng), edge);
            ExpectSameRow(
                w, edge, [&](uint8_t* out) { scalar().chroma(u.data(), v.data(), out, w, t); },
                [&](uint8_t* out) { simd().chroma(u.data(), v.data(), out, w, t); },
                Case("chroma", w, edge));
        }
    }
}

// Left and right planes of one row: unrelated (large differences) or close (small ones).
struct DeltaRow {
    DeltaRow(int w, bool close, Edge edge, std::mt19937& rng)
        : yl(Random(size_t(w), rng)),
          ul(Random(size_t(w + 1) / 2, rng)),
          vl(Random(size_t(w + 1) / 2, rng)),
          yr(close ? Near(yl, rng) : Random(size_t(w), rng)),
          ur(close ? Near(ul, rng) : Random(size_t(w + 1) / 2, rng)),
          vr(close ? Near(vl, rng) : Random(size_t(w + 1) / 2, rng)),
          gyl(yl, edge),
          gul(ul, edge),
          gvl(vl, edge),
          gyr(yr, edge),
          gur(ur, edge),
          gvr(vr, edge) {}
    std::vector<uint8_t> yl, ul, vl, yr, ur, vr;
    GuardedBytes gyl, gul, gvl, gyr, gur, gvr;
};

std::string DeltaCase(const char* kernel, int w, Edge edge, double scale, bool close) {
    return Case(kernel, w, edge) + " scale " + std::to_string(scale) +
           (close ? " close frames" : " unrelated frames");
}

TEST_P(SimdKernelsTest, DeltaRowsForEveryKindOfScale) {
    const auto t = Tables();
    const std::vector<int> widths = {1, 2, 3, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 70, 97, 1921};
    for (double s : Scales()) {
        DeltaTable delta;
        delta.Build(s);
        for (Edge edge : {Edge::kEnd, Edge::kStart}) {
            for (int w : widths) {
                for (bool close : {false, true}) {
                    std::mt19937 rng{uint32_t(w) * 43u + uint32_t(close)};
                    DeltaRow r(w, close, edge, rng);
                    ExpectSameRow(
                        w, edge,
                        [&](uint8_t* out) {
                            scalar().colourDelta(r.yl.data(), r.ul.data(), r.vl.data(), r.yr.data(),
                                                 r.ur.data(), r.vr.data(), out, w, t, delta);
                        },
                        [&](uint8_t* out) {
                            simd().colourDelta(r.gyl.data(), r.gul.data(), r.gvl.data(),
                                               r.gyr.data(), r.gur.data(), r.gvr.data(), out, w, t,
                                               delta);
                        },
                        DeltaCase("colour delta", w, edge, s, close));
                    ExpectSameRow(
                        w, edge,
                        [&](uint8_t* out) {
                            scalar().lumaDelta(r.yl.data(), r.yr.data(), out, w, delta);
                        },
                        [&](uint8_t* out) {
                            simd().lumaDelta(r.gyl.data(), r.gyr.data(), out, w, delta);
                        },
                        DeltaCase("luma delta", w, edge, s, close));
                    ExpectSameRow(
                        w, edge,
                        [&](uint8_t* out) {
                            scalar().chromaDelta(r.ul.data(), r.vl.data(), r.ur.data(), r.vr.data(),
                                                 out, w, t, delta);
                        },
                        [&](uint8_t* out) {
                            simd().chromaDelta(r.gul.data(), r.gvl.data(), r.gur.data(),
                                               r.gvr.data(), out, w, t, delta);
                        },
                        DeltaCase("chroma delta", w, edge, s, close));
                    ExpectSameRows(
                        w, edge,
                        [&](uint8_t* left, uint8_t* right) {
                            scalar().colourWithDelta(r.yl.data(), r.ul.data(), r.vl.data(),
                                                     r.yr.data(), r.ur.data(), r.vr.data(), left,
                                                     right, w, t, delta);
                        },
                        [&](uint8_t* left, uint8_t* right) {
                            simd().colourWithDelta(r.gyl.data(), r.gul.data(), r.gvl.data(),
                                                   r.gyr.data(), r.gur.data(), r.gvr.data(), left,
                                                   right, w, t, delta);
                        },
                        DeltaCase("colour with delta", w, edge, s, close));
                    ExpectSameRows(
                        w, edge,
                        [&](uint8_t* left, uint8_t* right) {
                            scalar().chromaWithDelta(r.ul.data(), r.vl.data(), r.ur.data(),
                                                     r.vr.data(), left, right, w, t, delta);
                        },
                        [&](uint8_t* left, uint8_t* right) {
                            simd().chromaWithDelta(r.gul.data(), r.gvl.data(), r.gur.data(),
                                                   r.gvr.data(), left, right, w, t, delta);
                        },
                        DeltaCase("chroma with delta", w, edge, s, close));
                }
            }
        }
    }
}

// Every luma difference -255..255 for each scale: every entry the luma delta can reach.
TEST_P(SimdKernelsTest, LumaDeltaCoversEveryDifference) {
    const int w = 65536;
    std::vector<uint8_t> yl(w), yr(w);
    for (int i = 0; i < w; ++i) {
        yl[size_t(i)] = uint8_t(i & 255);
        yr[size_t(i)] = uint8_t(i >> 8);
    }
    for (double s : Scales()) {
        DeltaTable delta;
        delta.Build(s);
        std::vector<uint8_t> want(w * 3), got(w * 3);
        scalar().lumaDelta(yl.data(), yr.data(), want.data(), w, delta);
        simd().lumaDelta(yl.data(), yr.data(), got.data(), w, delta);
        ASSERT_EQ(got, want) << "scale " << s;
    }
}

// chromaStep 1 (separate planes), 2 (multiplexed U/V), and no chroma.
TEST_P(SimdKernelsTest, KorvaRows) {
    for (int step : {1, 2, 0}) {
        for (Edge edge : {Edge::kEnd, Edge::kStart}) {
            for (int w : Widths()) {
                std::mt19937 rng{uint32_t(w) * 47u + uint32_t(step)};
                const size_t samples = size_t(w + 1) / 2;
                GuardedBytes y(Extremes(size_t(w), rng), edge);
                GuardedBytes u(Extremes(step == 2 ? 2 * samples : samples, rng), edge);
                GuardedBytes v(Extremes(samples, rng), edge);
                const uint8_t* pu = step == 0 ? nullptr : u.data();
                const uint8_t* pv = step == 0 ? nullptr : (step == 2 ? u.data() + 1 : v.data());
                const int cs = step == 0 ? 1 : step;
                ExpectSameRow(
                    w, edge, [&](uint8_t* out) { scalar().korva(y.data(), pu, pv, cs, out, w); },
                    [&](uint8_t* out) { simd().korva(y.data(), pu, pv, cs, out, w); },
                    Case("korva", w, edge) + " step " + std::to_string(step));
            }
        }
    }
}

TEST_P(SimdKernelsTest, KorvaRowsAtTheEndsOfTheSampleRange) {
    const int w = 64;
    for (int yValue : {0, 255}) {
        for (int uValue : {0, 255}) {
            for (int vValue : {0, 255}) {
                const std::vector<uint8_t> y(w, uint8_t(yValue)), u(w, uint8_t(uValue)),
                    v(w, uint8_t(vValue));
                std::vector<uint8_t> want(w * 3), got(w * 3);
                scalar().korva(y.data(), u.data(), v.data(), 1, want.data(), w);
                simd().korva(y.data(), u.data(), v.data(), 1, got.data(), w);
                ASSERT_EQ(got, want) << yValue << " " << uValue << " " << vValue;
            }
        }
    }
    // Y = U = V = 255 gives (255, 131, 255).
    const std::vector<uint8_t> full(w, 255);
    std::vector<uint8_t> got(w * 3);
    simd().korva(full.data(), full.data(), full.data(), 1, got.data(), w);
    EXPECT_EQ(got[0], 255);
    EXPECT_EQ(got[1], 131);
    EXPECT_EQ(got[2], 255);
}

TEST_P(SimdKernelsTest, KorvaDeltaRows) {
    const std::vector<int> widths = {1, 2, 7, 15, 16, 17, 31, 32, 33, 64, 65, 97, 1921};
    for (double s : Scales()) {
        for (int step : {1, 2, 0}) {
            for (Edge edge : {Edge::kEnd, Edge::kStart}) {
                for (int w : widths) {
                    for (bool close : {false, true}) {
                        std::mt19937 rng{uint32_t(w) * 53u + uint32_t(step)};
                        const size_t samples = size_t(w + 1) / 2;
                        const size_t chroma = step == 2 ? 2 * samples : samples;
                        const auto yl = Extremes(size_t(w), rng), ul = Extremes(chroma, rng),
                                   vl = Extremes(samples, rng);
                        GuardedBytes gyl(yl, edge), gul(ul, edge), gvl(vl, edge);
                        GuardedBytes gyr(close ? Near(yl, rng) : Extremes(size_t(w), rng), edge);
                        GuardedBytes gur(close ? Near(ul, rng) : Extremes(chroma, rng), edge);
                        GuardedBytes gvr(close ? Near(vl, rng) : Extremes(samples, rng), edge);
                        auto chromaOf = [&](GuardedBytes& u, GuardedBytes& v, bool isV) {
                            if (step == 0) {
                                return static_cast<const uint8_t*>(nullptr);
                            }
                            if (!isV) {
                                return static_cast<const uint8_t*>(u.data());
                            }
                            return static_cast<const uint8_t*>(step == 2 ? u.data() + 1 : v.data());
                        };
                        const uint8_t *pul = chromaOf(gul, gvl, false),
                                      *pvl = chromaOf(gul, gvl, true);
                        const uint8_t *pur = chromaOf(gur, gvr, false),
                                      *pvr = chromaOf(gur, gvr, true);
                        const int cs = step == 0 ? 1 : step;
                        auto run = [&](const ConversionKernels& k, uint8_t* out) {
                            k.korvaDelta(gyl.data(), pul, pvl, gyr.data(), pur, pvr, cs, out, w, s);
                        };
                        ExpectSameRow(
                            w, edge, [&](uint8_t* out) { run(scalar(), out); },
                            [&](uint8_t* out) { run(simd(), out); },
                            DeltaCase("korva delta", w, edge, s, close) + " step " +
                                std::to_string(step));
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Available, SimdKernelsTest, ::testing::ValuesIn(VectorKernelSets()),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Whole pictures: PIXLOOM_CPU=c and =sse2 on one thread in a child process, against the
// default kernels and threads here.

constexpr const char* kDumpVariable = "PIXLOOM_TEST_PICTURE_DIR";

enum class Kind { kRaw, kKorvaProgressive, kKorvaInterlaced, kKorvaLumaOnly };

struct PictureCase {
    Kind kind;
    int width, height;
    int showY, showUV;
    int dual, delta;
    double scale;
    int chromaVerticalFactor;
};

std::vector<PictureCase> PictureCases() {
    std::vector<PictureCase> cases;
    const int sizes[][2] = {{176, 144}, {33, 17}, {1, 1}, {2, 2}, {65, 3}, {130, 7}, {1921, 5}};
    const int views[][2] = {{1, 1}, {1, 0}, {0, 1}};
    for (const auto& size : sizes) {
        for (const auto& view : views) {
            for (int mode = 0; mode < 3; ++mode) {
                for (double s : {1.0, 0.7, -2.5, kNaN}) {
                    if (mode < 2 && s != 1.0) {
                        continue;
                    }
                    cases.push_back({Kind::kRaw, size[0], size[1], view[0], view[1], mode > 0,
                                     mode == 2, s, 2});
                }
            }
        }
    }
    // Pictures large enough to be split into bands over the worker threads.
    for (const auto& view : views) {
        for (int mode = 0; mode < 3; ++mode) {
            cases.push_back({Kind::kRaw, 1030, 514, view[0], view[1], mode > 0, mode == 2, 3.7, 2});
        }
    }
    for (Kind kind : {Kind::kKorvaProgressive, Kind::kKorvaInterlaced}) {
        for (int cvf : {1, 2}) {
            cases.push_back({kind, 1024, 520, 1, 1, 0, 0, 1.0, cvf});
        }
    }
    cases.push_back({Kind::kKorvaProgressive, 700, 400, 1, 1, 1, 1, -1.5, 2});
    // Pictures large enough for the streaming kernels, with rows on and off 32-byte boundaries.
    cases.push_back({Kind::kRaw, 3000, 1800, 1, 1, 0, 0, 1.0, 2});
    cases.push_back({Kind::kRaw, 2100, 1400, 1, 0, 1, 1, 0.7, 2});
    cases.push_back({Kind::kRaw, 2050, 1402, 0, 1, 1, 0, 1.0, 2});
    cases.push_back({Kind::kRaw, 2049, 1401, 1, 1, 1, 1, 3.7, 2});
    for (Kind kind : {Kind::kKorvaProgressive, Kind::kKorvaInterlaced, Kind::kKorvaLumaOnly}) {
        for (int cvf : {1, 2}) {
            for (const auto& size : {std::pair{64, 8}, std::pair{178, 12}, std::pair{38, 4}}) {
                for (int mode = 0; mode < 3; ++mode) {
                    cases.push_back({kind, size.first, size.second, 1, 1, mode > 0, mode == 2,
                                     mode == 2 ? 1.5 : 1.0, cvf});
                }
            }
        }
    }
    return cases;
}

// Converts case i (frames filled from seed i) and returns the picture.
std::vector<uint8_t> ConvertCase(const PictureCase& c, int index) {
    engine::FrameValues values;
    values.deltaScale = c.scale;
    engine::CSequenceDisplay d;
    d.mainFrame = &values;
    d.width = c.width;
    d.height = c.height;
    d.dual = c.dual;
    d.deltaMode = c.delta;
    d.showY = c.showY;
    d.showUV = c.showUV;
    if (c.kind == Kind::kRaw) {
        d.isKorva = 0;
        d.ySize = c.width * c.height;
        d.yStride = c.width;
        d.cSize = (c.width * c.height) / 4;
        d.cStride = c.width / 2;
    } else {
        const bool interlaced = c.kind == Kind::kKorvaInterlaced;
        const int lines = interlaced ? c.height / 2 : c.height;
        d.isKorva = 1;
        d.uvMultiplexed = interlaced ? 1 : 0;
        d.header.interlaceFactor = interlaced ? 2 : 1;
        d.header.frameHeaderRecords = 1;
        d.header.componentCount = c.kind == Kind::kKorvaLumaOnly ? 1 : 3;
        d.header.components[1].verticalFactor = c.chromaVerticalFactor;
        d.ySize = c.width * lines;
        d.yStride = c.width;
        d.cStride = c.width / 2;
        d.cSize = d.cStride * (lines / c.chromaVerticalFactor);
    }
    if (!d.AllocateBuffers()) {
        ADD_FAILURE() << "buffers for case " << index;
        return {};
    }
    std::mt19937 rng(uint32_t(index) + 1000u);
    const auto left = Extremes(size_t(d.frameBytes), rng);
    std::memcpy(d.leftFrame.data(), left.data(), left.size());
    if (d.dual) {
        const auto right = (index % 2) ? Near(left, rng) : Extremes(size_t(d.frameBytes), rng);
        std::memcpy(d.rightFrame.data(), right.data(), right.size());
    }
    d.ConvertFrame();
    const size_t bytes = size_t(d.bitmapInfo.biWidth) * size_t(d.bitmapInfo.biHeight) * 3;
    return std::vector<uint8_t>(d.rgbBuffer.data(), d.rgbBuffer.data() + bytes);
}

std::string CaseFile(const std::string& dir, int index) {
    return dir + "/picture" + std::to_string(index) + ".bin";
}

// Run only in the child that the next test starts.
TEST(ConvertFrameCpuTest, WritesPicturesForTheParent) {
    const char* dir = std::getenv(kDumpVariable);
    if (dir == nullptr) {
        GTEST_SKIP() << "run by ForcedLevelsGiveTheDefaultPictures";
    }
    std::ofstream(std::string(dir) + "/kernels.txt") << engine::ActiveKernels().name;
    const auto cases = PictureCases();
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto picture = ConvertCase(cases[i], int(i));
        std::ofstream out(CaseFile(dir, int(i)), std::ios::binary);
        out.write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size()));
    }
}

// The child converts with PIXLOOM_CPU=level on one thread (PIXLOOM_THREADS=1).
int RunChild(const std::string& level, const std::string& dir) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("PIXLOOM_CPU=", 0) != 0 && entry.rfind("PIXLOOM_THREADS=", 0) != 0 &&
            entry.rfind(kDumpVariable, 0) != 0) {
            env.push_back(entry);
        }
    }
    env.push_back("PIXLOOM_CPU=" + level);
    env.push_back("PIXLOOM_THREADS=1");
    env.push_back(std::string(kDumpVariable) + "=" + dir);
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe";
    std::string filter = "--gtest_filter=ConvertFrameCpuTest.WritesPicturesForTheParent";
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data()) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ConvertFrameCpuTest, ForcedLevelsGiveTheDefaultPictures) {
    if (std::getenv(kDumpVariable) != nullptr) {
        GTEST_SKIP();
    }
    const auto cases = PictureCases();
    std::vector<std::vector<uint8_t>> pictures;
    for (size_t i = 0; i < cases.size(); ++i) {
        pictures.push_back(ConvertCase(cases[i], int(i)));
    }
    for (const char* level : {"c", "sse2"}) {
        testing_support::TempDir dir;
        ASSERT_EQ(RunChild(level, dir.path().string()), 0) << level;
        std::ifstream names(dir.File("kernels.txt"));
        std::string used;
        names >> used;
        EXPECT_EQ(used, level);
        for (size_t i = 0; i < cases.size(); ++i) {
            std::ifstream in(CaseFile(dir.path().string(), int(i)), std::ios::binary);
            const std::vector<uint8_t> forced((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
            const auto& c = cases[i];
            ASSERT_EQ(forced, pictures[i])
                << "PIXLOOM_CPU=" << level << " against " << engine::ActiveKernels().name
                << ", case " << i << ": " << c.width << " x " << c.height << " kind " << int(c.kind)
                << " view " << c.showY << c.showUV << " dual " << c.dual << " delta " << c.delta
                << " scale " << c.scale;
        }
    }
}

}  // namespace
