// Frame conversion: the worked examples, the colour and delta examples, the unsupported KORVA
// layouts, and every path compared byte for byte with the plain reference on random frames.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/sequence_display.h"
#include "tests/engine/engine_fixture.h"
#include "tests/engine/reference_conversion.h"
#include "tests/support/sequence_files.h"

namespace {

using engine::CSequenceDisplay;
using engine_test::Fill;
using engine_test::RandomBytes;
using engine_test::Recorder;
using engine_test::Sequence;
using reference::View;
using testing_support::KorvaComponentLayout;
using testing_support::KorvaLayout;
using testing_support::TempDir;

struct Bgr {
    int b, g, r;
    bool operator==(const Bgr&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Bgr& p) {
    return os << "(" << p.b << ", " << p.g << ", " << p.r << ")";
}

Bgr PixelAt(const CSequenceDisplay& d, int row, int column) {
    const uint8_t* p = d.rgbBuffer.data() + (size_t(row) * d.bitmapInfo.biWidth + column) * 3;
    return {p[0], p[1], p[2]};
}

void SetView(CSequenceDisplay& d, View view) {
    d.showY = view != View::kChroma;
    d.showUV = view != View::kLuma;
}

// A raw engine of w x h without a file, its buffers made for the given modes.
void MakeRaw(CSequenceDisplay& d, int w, int h, bool dual = false) {
    d.defaultWidth = w;
    d.defaultHeight = h;
    d.dual = dual;
    ASSERT_TRUE(d.SetupGeometry());
}

// Every pixel of the picture (left half only when half is set) equals want.
void ExpectUniform(const CSequenceDisplay& d, Bgr want, int firstColumn = 0, int columns = -1) {
    if (columns < 0) {
        columns = d.bitmapInfo.biWidth - firstColumn;
    }
    for (int i = 0; i < d.height; ++i) {
        for (int j = firstColumn; j < firstColumn + columns; ++j) {
            ASSERT_EQ(PixelAt(d, i, j), want) << "row " << i << " column " << j;
        }
    }
}

struct ColourCase {
    int y, u, v;
    Bgr raw, korva;
};

const ColourCase kColourCases[] = {
    {128, 128, 128, {128, 128, 128}, {128, 128, 128}},
    {16, 128, 128, {16, 16, 16}, {16, 16, 16}},
    {235, 128, 128, {235, 235, 235}, {235, 235, 235}},
    {0, 0, 0, {0, 124, 0}, {0, 124, 0}},
    {255, 255, 255, {255, 132, 255}, {255, 131, 255}},
    {100, 200, 128, {246, 72, 100}, {246, 71, 100}},
    {81, 90, 240, {4, 31, 208}, {3, 30, 208}},
};

TEST(RawConversion, ColourExamples) {
    for (const ColourCase& c : kColourCases) {
        SCOPED_TRACE(::testing::Message() << c.y << "," << c.u << "," << c.v);
        CSequenceDisplay d;
        MakeRaw(d, 4, 4);
        Fill(d.leftFrame,
             testing_support::UniformFrame(4, 4, uint8_t(c.y), uint8_t(c.u), uint8_t(c.v)));
        EXPECT_EQ(d.ConvertFrame(), 4);
        ExpectUniform(d, c.raw);
    }
}

// A KORVA progressive 4 x 4 file with 4:2:0 chroma, as in the worked geometry.
class KorvaFile {
public:
    explicit KorvaFile(const KorvaLayout& layout, int frames = 1) {
        auto bytes = testing_support::KorvaHeaderBytes(layout);
        bytes.resize(bytes.size() + 4096 * size_t(frames), 0);
        testing_support::WriteBytes(dir.File("k.yuv"), bytes);
        ok = seq.Open(dir.File("k.yuv"));
    }
    TempDir dir;
    Sequence seq;
    bool ok = false;
};

TEST(KorvaConversion, ColourExamples) {
    for (const ColourCase& c : kColourCases) {
        SCOPED_TRACE(::testing::Message() << c.y << "," << c.u << "," << c.v);
        KorvaFile k(testing_support::KorvaProgressive(4, 4));
        ASSERT_TRUE(k.ok);
        CSequenceDisplay& d = k.seq.display;
        ASSERT_EQ(d.isKorva, 1);
        ASSERT_EQ(d.frameBytes, 24);
        Fill(d.leftFrame,
             testing_support::UniformFrame(4, 4, uint8_t(c.y), uint8_t(c.u), uint8_t(c.v)));
        EXPECT_EQ(d.ConvertFrame(), 4);
        ExpectUniform(d, c.korva);
    }
}

TEST(KorvaConversion, ShowFlagsAreIgnored) {
    KorvaFile k(testing_support::KorvaProgressive(4, 4));
    ASSERT_TRUE(k.ok);
    CSequenceDisplay& d = k.seq.display;
    Fill(d.leftFrame, testing_support::UniformFrame(4, 4, 100, 200, 128));
    SetView(d, View::kLuma);
    d.ConvertFrame();
    ExpectUniform(d, {246, 71, 100});
    SetView(d, View::kChroma);
    d.ConvertFrame();
    ExpectUniform(d, {246, 71, 100});
}

TEST(KorvaConversion, LumaOnlyFileHasNeutralChroma) {
    KorvaLayout layout;
    layout.components = {{4, 4, 1, 1, "Y"}};
    KorvaFile k(layout);
    ASSERT_TRUE(k.ok);
    CSequenceDisplay& d = k.seq.display;
    ASSERT_EQ(d.frameBytes, 16);
    Fill(d.leftFrame, std::vector<uint8_t>(16, 77));
    EXPECT_EQ(d.ConvertFrame(), 4);
    ExpectUniform(d, {77, 77, 77});
}

struct DeltaCase {
    int yl, yr;
    double s;
    int grey;
};

TEST(RawConversion, LumaDeltaExamples) {
    const DeltaCase cases[] = {
        {200, 100, 1.0, 228}, {0, 255, 1.0, 0},   {100, 103, 0.5, 127}, {103, 100, 0.5, 129},
        {100, 103, 1.0, 125}, {10, 10, 1e9, 128}, {255, 0, 1e300, 255}, {0, 255, 1e300, 0},
    };
    engine::FrameValues values;
    for (const DeltaCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.yl << " - " << c.yr << " x " << c.s);
        CSequenceDisplay d;
        d.mainFrame = &values;
        values.deltaScale = c.s;
        MakeRaw(d, 2, 2, true);
        d.deltaMode = 1;
        SetView(d, View::kLuma);
        Fill(d.leftFrame, testing_support::UniformFrame(2, 2, uint8_t(c.yl), 128, 128));
        Fill(d.rightFrame, testing_support::UniformFrame(2, 2, uint8_t(c.yr), 128, 128));
        d.ConvertFrame();
        ExpectUniform(d, {c.yl, c.yl, c.yl}, 0, 2);
        ExpectUniform(d, {c.grey, c.grey, c.grey}, 2, 2);
    }
}

TEST(RawConversion, DeltaFollowsTheScaleInForce) {
    engine::FrameValues values;
    CSequenceDisplay d;
    d.mainFrame = &values;
    MakeRaw(d, 2, 2, true);
    d.deltaMode = 1;
    SetView(d, View::kLuma);
    Fill(d.leftFrame, testing_support::UniformFrame(2, 2, 200, 128, 128));
    Fill(d.rightFrame, testing_support::UniformFrame(2, 2, 100, 128, 128));
    d.ConvertFrame();
    EXPECT_EQ(PixelAt(d, 0, 2), (Bgr{228, 228, 228}));
    values.deltaScale = 0.25;
    d.ConvertFrame();
    EXPECT_EQ(PixelAt(d, 0, 2), (Bgr{153, 153, 153}));
    values.deltaScale = -1.0;
    d.ConvertFrame();
    EXPECT_EQ(PixelAt(d, 0, 2), (Bgr{28, 28, 28}));
}

// The difference is that of the sums before clamping: Y = 255, V = 255 on the left against
// Y = 200, V = 255 on the right both clamp to red 255, yet differ by 55.
TEST(RawConversion, DeltaUsesSumsBeforeClamping) {
    CSequenceDisplay d;
    MakeRaw(d, 2, 2, true);
    d.deltaMode = 1;
    Fill(d.leftFrame, testing_support::UniformFrame(2, 2, 255, 128, 255));
    Fill(d.rightFrame, testing_support::UniformFrame(2, 2, 200, 128, 255));
    d.ConvertFrame();
    EXPECT_EQ(PixelAt(d, 0, 0).r, 255);
    EXPECT_EQ(PixelAt(d, 0, 2), (Bgr{183, 183, 183}));
}

TEST(Conversion, IdenticalFramesGiveMidGrey) {
    const double scales[] = {1.0,
                             0.5,
                             7.25,
                             -3.0,
                             1e12,
                             std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    engine::FrameValues values;
    const auto frame = RandomBytes(12 * 6 * 3 / 2, 5);
    for (View view : {View::kColour, View::kLuma, View::kChroma}) {
        for (double s : scales) {
            SCOPED_TRACE(::testing::Message() << int(view) << " s=" << s);
            CSequenceDisplay d;
            d.mainFrame = &values;
            values.deltaScale = s;
            MakeRaw(d, 12, 6, true);
            d.deltaMode = 1;
            SetView(d, view);
            Fill(d.leftFrame, frame);
            Fill(d.rightFrame, frame);
            d.ConvertFrame();
            ExpectUniform(d, {128, 128, 128}, 12, 12);
        }
    }
    // KORVA frames too.
    KorvaFile k(testing_support::KorvaInterlaced(8, 4, 1));
    ASSERT_TRUE(k.ok);
    CSequenceDisplay& d = k.seq.display;
    d.mainFrame = &values;
    values.deltaScale = 3.5;
    d.dual = 1;
    d.deltaMode = 1;
    ASSERT_TRUE(d.AllocateBuffers());
    const auto korvaFrame = RandomBytes(size_t(d.frameBytes), 6);
    Fill(d.leftFrame, korvaFrame);
    Fill(d.rightFrame, korvaFrame);
    d.ConvertFrame();
    ExpectUniform(d, {128, 128, 128}, 8, 8);
}

TEST(Conversion, NanScaleGivesMidGreyForAnyDifference) {
    engine::FrameValues values;
    values.deltaScale = std::numeric_limits<double>::quiet_NaN();
    CSequenceDisplay d;
    d.mainFrame = &values;
    MakeRaw(d, 6, 4, true);
    d.deltaMode = 1;
    Fill(d.leftFrame, RandomBytes(36, 1));
    Fill(d.rightFrame, RandomBytes(36, 2));
    d.ConvertFrame();
    ExpectUniform(d, {128, 128, 128}, 6, 6);
}

TEST(RawConversion, ChromaOnlyOfNeutralChromaIsGrey) {
    CSequenceDisplay d;
    MakeRaw(d, 10, 6);
    auto frame = RandomBytes(90, 3);
    std::fill(frame.begin() + 60, frame.end(), 128);
    Fill(d.leftFrame, frame);
    SetView(d, View::kChroma);
    d.ConvertFrame();
    ExpectUniform(d, {128, 128, 128});
}

// Checks every pixel of row r against the frame bytes the worked example names.
void ExpectRow(const CSequenceDisplay& d, View view, const std::vector<uint8_t>& f, int row,
               int yFirst, int uFirst, int vFirst, int chromaStep) {
    for (int j = 0; j < d.width; ++j) {
        const int Y = f[size_t(yFirst + j)];
        const int U = f[size_t(uFirst + (j / 2) * chromaStep)];
        const int V = f[size_t(vFirst + (j / 2) * chromaStep)];
        const reference::Channels c =
            d.isKorva ? reference::KorvaChannels(Y, U, V) : reference::RawChannels(view, Y, U, V);
        const Bgr want =
            d.isKorva ? Bgr{reference::Limit(c.b), reference::Limit(c.g), reference::Limit(c.r)}
                      : Bgr{reference::ClampInt(long(c.b)), reference::ClampInt(long(c.g)),
                            reference::ClampInt(long(c.r))};
        EXPECT_EQ(PixelAt(d, row, j), want) << "row " << row << " pixel " << j;
    }
}

TEST(RawConversion, WorkedWalk4x4) {
    const auto f = RandomBytes(24, 44);
    for (View view : {View::kColour, View::kLuma, View::kChroma}) {
        SCOPED_TRACE(int(view));
        CSequenceDisplay d;
        MakeRaw(d, 4, 4);
        SetView(d, view);
        Fill(d.leftFrame, f);
        d.ConvertFrame();
        // Row 0 is the bottom line: Y 12-15 with U 18, 19 and V 22, 23.
        ExpectRow(d, view, f, 0, 12, 18, 22, 1);
        ExpectRow(d, view, f, 1, 8, 18, 22, 1);
        ExpectRow(d, view, f, 2, 4, 16, 20, 1);
        ExpectRow(d, view, f, 3, 0, 16, 20, 1);
    }
}

TEST(KorvaConversion, WorkedInterlacedWalk4x4) {
    KorvaLayout layout;
    layout.interlaceFactor = 2;
    layout.components = {{2, 4, 1, 1, "Y"}, {2, 4, 1, 2, "U/V"}};
    KorvaFile k(layout);
    ASSERT_TRUE(k.ok);
    CSequenceDisplay& d = k.seq.display;
    ASSERT_EQ(d.isKorva, 1);
    ASSERT_EQ(d.width, 4);
    ASSERT_EQ(d.height, 4);
    ASSERT_EQ(d.ySize, 8);
    ASSERT_EQ(d.cStride, 2);
    ASSERT_EQ(d.cSize, 4);
    ASSERT_EQ(d.header.chromaVerticalFactor(), 1);
    ASSERT_EQ(d.frameBytes, 32);
    const auto f = RandomBytes(32, 45);
    Fill(d.leftFrame, f);
    EXPECT_EQ(d.ConvertFrame(), 2);
    ExpectRow(d, View::kColour, f, 0, 4, 12, 13, 2);
    ExpectRow(d, View::kColour, f, 1, 20, 28, 29, 2);
    ExpectRow(d, View::kColour, f, 2, 0, 8, 9, 2);
    ExpectRow(d, View::kColour, f, 3, 16, 24, 25, 2);  // the top line: second field's first
}

TEST(KorvaConversion, UnsupportedLayoutsEndTheProcess) {
    struct Case {
        KorvaLayout layout;
        const char* message;
    };
    KorvaLayout mux = testing_support::KorvaInterlaced(8, 2, 0);
    mux.interlaceFactor = 1;
    KorvaLayout sep = testing_support::KorvaProgressive(8, 4);
    sep.interlaceFactor = 2;
    const Case cases[] = {
        {mux, "KORVA, U/V multiplexed, non-interlaced not supported yet."},
        {sep, "KORVA, U & V not multiplexed, interlaced not supported yet."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        KorvaFile k(c.layout);
        ASSERT_TRUE(k.ok);
        Recorder rec;
        CSequenceDisplay& d = k.seq.display;
        ASSERT_EQ(d.isKorva, 1);
        const auto before = k.seq.Picture();
        EXPECT_EQ(d.ConvertFrame(), 0);
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0], c.message);
        ASSERT_EQ(rec.exits.size(), 1u);
        EXPECT_EQ(rec.exits[0], 1);
        EXPECT_EQ(k.seq.Picture(), before);
    }
}

// The display commands never clear both flags; were both clear, the colour path is taken.
TEST(RawConversion, NeitherFlagMeansColour) {
    CSequenceDisplay d;
    MakeRaw(d, 6, 4);
    Fill(d.leftFrame, RandomBytes(36, 8));
    d.ConvertFrame();
    const std::vector<uint8_t> colour(d.rgbBuffer.data(), d.rgbBuffer.data() + 72);
    d.showY = 0;
    d.showUV = 0;
    d.ConvertFrame();
    EXPECT_EQ(std::vector<uint8_t>(d.rgbBuffer.data(), d.rgbBuffer.data() + 72), colour);
}

TEST(Conversion, BuffersNotMadeForTheModeAreLeftAlone) {
    CSequenceDisplay d;
    EXPECT_EQ(d.ConvertFrame(), 0);
    MakeRaw(d, 8, 4);
    d.dual = 1;  // no right frame and a single-width picture
    EXPECT_EQ(d.ConvertFrame(), 0);
    d.dual = 0;
    EXPECT_EQ(d.ConvertFrame(), 4);
}

// Every path against the reference on random frames.
struct Mode {
    bool dual, delta;
    double scale;
};

const Mode kModes[] = {
    {false, false, 1.0}, {true, false, 1.0}, {true, true, 1.0},
    {true, true, 0.37},  {true, true, -2.5}, {true, true, 12.0},
};

reference::Layout LayoutOf(const CSequenceDisplay& d) {
    reference::Layout g;
    g.width = d.width;
    g.height = d.height;
    g.ySize = d.ySize;
    g.cSize = d.cSize;
    g.yStride = d.yStride;
    g.cStride = d.cStride;
    g.korva = d.isKorva == 1;
    g.multiplexed = d.uvMultiplexed == 1;
    g.chroma = d.header.componentCount >= 2;
    g.frameHeaderRecords = d.header.frameHeaderRecords;
    g.chromaVerticalFactor = d.header.chromaVerticalFactor();
    return g;
}

// Converts random frames in every mode and compares the whole picture with the reference.
void CompareAllModes(CSequenceDisplay& d, const std::vector<View>& views, uint32_t seed) {
    engine::FrameValues values;
    d.mainFrame = &values;
    for (const Mode& m : kModes) {
        for (View view : views) {
            SCOPED_TRACE(::testing::Message() << "dual " << m.dual << " delta " << m.delta << " s "
                                              << m.scale << " view " << int(view));
            d.dual = m.dual;
            d.deltaMode = m.delta;
            values.deltaScale = m.scale;
            SetView(d, view);
            ASSERT_TRUE(d.AllocateBuffers());
            const auto left = RandomBytes(size_t(d.frameBytes), seed++);
            const auto right = RandomBytes(size_t(d.frameBytes), seed++);
            Fill(d.leftFrame, left);
            if (m.dual) {
                Fill(d.rightFrame, right);
            }
            reference::Options opt;
            opt.view = view;
            opt.dual = m.dual;
            opt.delta = m.delta;
            opt.scale = m.scale;
            const auto want = reference::Convert(LayoutOf(d), opt, left, right);
            d.ConvertFrame();
            const size_t picture = size_t(d.bitmapInfo.biWidth) * size_t(d.bitmapInfo.biHeight) * 3;
            ASSERT_LE(want.size(), picture);
            const std::vector<uint8_t> got(d.rgbBuffer.data(), d.rgbBuffer.data() + want.size());
            ASSERT_EQ(got, want);
        }
    }
    d.mainFrame = nullptr;
}

struct Size {
    int w, h;
};

TEST(RawConversion, MatchesTheReference) {
    // Widths around vector lengths (16, 32, 64 pixels) with their leftovers, even and odd.
    const Size sizes[] = {{2, 2},   {4, 4},     {16, 8},  {176, 144}, {1, 1},   {3, 5},  {7, 3},
                          {33, 17}, {175, 143}, {2, 9},   {31, 2},    {32, 3},  {63, 4}, {64, 2},
                          {65, 3},  {127, 2},   {129, 3}, {1921, 2},  {3840, 2}};
    for (const Size& s : sizes) {
        SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h);
        CSequenceDisplay d;
        MakeRaw(d, s.w, s.h);
        CompareAllModes(d, {View::kColour, View::kLuma, View::kChroma}, uint32_t(s.w * 1000 + s.h));
    }
}

// The last chroma sample of an odd width lies one byte past the frame; every size converts
// inside the buffers (ASan) and as the rules say.
TEST(RawConversion, EverySmallSize) {
    for (int w = 1; w <= 9; ++w) {
        for (int h = 1; h <= 9; ++h) {
            SCOPED_TRACE(::testing::Message() << w << "x" << h);
            CSequenceDisplay d;
            MakeRaw(d, w, h);
            CompareAllModes(d, {View::kColour, View::kLuma, View::kChroma}, uint32_t(w * 10 + h));
        }
    }
}

KorvaLayout Progressive(int w, int h, int chromaVerticalFactor, int frameHeaderRecords) {
    KorvaLayout k;
    k.frameHeaderRecords = frameHeaderRecords;
    const int lines = chromaVerticalFactor == 2 ? h / 2 : h;
    k.components = {{h, w, 1, 1, "Y"},
                    {lines, w / 2, chromaVerticalFactor, 1, "U"},
                    {lines, w / 2, chromaVerticalFactor, 1, "V"}};
    return k;
}

KorvaLayout Interlaced(int w, int fieldLines, int chromaVerticalFactor, int frameHeaderRecords) {
    KorvaLayout k;
    k.interlaceFactor = 2;
    k.frameHeaderRecords = frameHeaderRecords;
    k.components = {{fieldLines, w, 1, 1, "Y"}, {fieldLines, w, chromaVerticalFactor, 2, "U/V"}};
    return k;
}

void CompareKorva(const KorvaLayout& layout, uint32_t seed) {
    KorvaFile k(layout);
    ASSERT_TRUE(k.ok);
    ASSERT_EQ(k.seq.display.isKorva, 1);
    CompareAllModes(k.seq.display, {View::kColour}, seed);
}

TEST(KorvaConversion, ProgressiveMatchesTheReference) {
    const Size sizes[] = {{2, 2}, {4, 4},  {8, 6},  {176, 144}, {3, 3},
                          {9, 5}, {13, 8}, {33, 4}, {66, 2},    {1922, 2}};
    for (const Size& s : sizes) {
        for (int cvf : {2, 1}) {
            for (int records : {0, 2}) {
                SCOPED_TRACE(::testing::Message()
                             << s.w << "x" << s.h << " cvf " << cvf << " records " << records);
                CompareKorva(Progressive(s.w, s.h, cvf, records), uint32_t(s.w + s.h + cvf));
            }
        }
    }
    // The worked geometry's chroma records.
    CompareKorva(testing_support::KorvaProgressive(176, 144), 7);
}

TEST(KorvaConversion, InterlacedMatchesTheReference) {
    const Size sizes[] = {{2, 1}, {4, 2},   {8, 3},  {176, 72}, {3, 2},
                          {9, 5}, {720, 8}, {35, 2}, {64, 1},   {1921, 1}};
    for (const Size& s : sizes) {
        for (int cvf : {1, 2}) {
            for (int records : {0, 1}) {
                SCOPED_TRACE(::testing::Message()
                             << s.w << "x" << s.h << " cvf " << cvf << " records " << records);
                CompareKorva(Interlaced(s.w, s.h, cvf, records), uint32_t(s.w * s.h + cvf));
            }
        }
    }
}

TEST(KorvaConversion, LumaOnlyMatchesTheReference) {
    for (const Size& s : {Size{4, 4}, Size{7, 5}, Size{32, 16}}) {
        KorvaLayout layout;
        layout.frameHeaderRecords = 1;
        layout.components = {{s.h, s.w, 1, 1, "Y"}};
        SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h);
        CompareKorva(layout, uint32_t(s.w));
    }
}

// Dual KORVA: each row is two sequences wide, the right half made through the same path.
TEST(KorvaConversion, DualRowsHoldBothSequences) {
    KorvaFile k(testing_support::KorvaProgressive(4, 4));
    ASSERT_TRUE(k.ok);
    CSequenceDisplay& d = k.seq.display;
    d.dual = 1;
    ASSERT_TRUE(d.AllocateBuffers());
    ASSERT_EQ(d.bitmapInfo.biWidth, 8);
    Fill(d.leftFrame, testing_support::UniformFrame(4, 4, 100, 200, 128));
    Fill(d.rightFrame, testing_support::UniformFrame(4, 4, 81, 90, 240));
    EXPECT_EQ(d.ConvertFrame(), 4);
    ExpectUniform(d, {246, 71, 100}, 0, 4);
    ExpectUniform(d, {3, 30, 208}, 4, 4);
    // Delta of the double channel values: B 246.0088 - 3.9398, G 71.6464 - 30.9484,
    // R 100 - 208.6576, each truncated before 128 is added.
    d.deltaMode = 1;
    d.ConvertFrame();
    ExpectUniform(d, {246, 71, 100}, 0, 4);
    ExpectUniform(d, {255, 168, 20}, 4, 4);
}

}  // namespace
