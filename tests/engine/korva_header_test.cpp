// The KORVA header: field reading, the record parsers, the probe's geometry and its refusals.
#include "engine/korva_header.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/sequence_display.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/sequence_files.h"

namespace {

using engine_test::Recorder;
using engine_test::Sequence;
using testing_support::KorvaComponentLayout;
using testing_support::KorvaHeaderBytes;
using testing_support::KorvaLayout;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct NumberCase {
    const char* text;  // the field's bytes; width is strlen, or given for embedded zeros
    int width;
    int value;
};

TEST(KorvaFields, NumbersReadAsAtoi) {
    const NumberCase cases[] = {
        {"     64", 7, 64},
        {"64     ", 7, 64},
        {"64abc  ", 7, 64},
        {"  +64  ", 7, 64},
        {"   -5  ", 7, -5},
        {"       ", 7, 0},
        {"abc 64 ", 7, 0},
        {"\t\n 64 ", 7, 64},
        {"6\0"
         "4   ",
         6, 6},
        {"\0"
         "64",
         3, 0},
        {"1234567", 5, 12345},
        {"- 5", 3, 0},
        {"99", 2, 99},
        {"-9", 2, -9},
        {"0064", 4, 64},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(std::string(c.text, size_t(c.width)));
        char record[64];
        std::memset(record, 'Z', sizeof record);
        std::memcpy(record + 10, c.text, size_t(c.width));
        EXPECT_EQ(engine::KorvaNumberField(record, 10, c.width), c.value);
    }
}

TEST(KorvaFields, RealsAndWords) {
    char record[64];
    std::memset(record, ' ', sizeof record);
    std::memcpy(record, "  1.5e2 xx  ", 12);
    EXPECT_DOUBLE_EQ(engine::KorvaRealField(record, 0, 12), 150.0);
    std::memcpy(record, "   -0.25    ", 12);
    EXPECT_DOUBLE_EQ(engine::KorvaRealField(record, 0, 12), -0.25);

    EXPECT_EQ(engine::KorvaFirstWord(" y   ", 5), "y");
    EXPECT_EQ(engine::KorvaFirstWord("U/V  ", 5), "U/V");
    EXPECT_EQ(engine::KorvaFirstWord("Y\0abc", 5), "Y");
    EXPECT_EQ(engine::KorvaFirstWord("     ", 5), "");
    EXPECT_EQ(engine::KorvaFirstWord("ab cd", 5), "ab");
    EXPECT_EQ(engine::KorvaFirstWord("\tu/v\t", 5), "u/v");
    EXPECT_EQ(engine::KorvaFirstWord("abcdefgh", 5), "abcde");
}

TEST(KorvaParsers, FieldsAreBoundedByTheirWidths) {
    // Fields packed without any blank between them.
    char r1[64], r2[64], a[64], b[64];
    std::memset(r1, '1', 64);
    std::memcpy(r1 + 7,
                "00003"
                "00002"
                "00001",
                15);
    std::memcpy(r1 + 47, "0000064", 7);
    std::memset(r2, '7', 64);
    std::memcpy(r2 + 48, "02", 2);
    std::memset(a, '5', 64);
    std::memcpy(a,
                "000144"
                "000176",
                12);
    std::memset(b, '8', 64);
    std::memcpy(b,
                "01"
                "02"
                "03",
                6);
    std::memcpy(b + 12, "u/vXY", 5);

    engine::KorvaHeader h;
    h.ParseMainRecord1(r1);
    h.ParseMainRecord2(r2);
    h.ParseComponentRecordA(2, a);
    h.ParseComponentRecordB(2, b);
    EXPECT_EQ(h.componentCount, 3);
    EXPECT_EQ(h.extraHeaderRecords, 2);
    EXPECT_EQ(h.frameHeaderRecords, 1);
    EXPECT_EQ(h.recordSize, 64);
    EXPECT_EQ(h.interlaceFactor, 2);
    EXPECT_EQ(h.components[2].lines, 144);
    EXPECT_EQ(h.components[2].pixelsPerLine, 176);
    EXPECT_EQ(h.components[2].verticalFactor, 2);
    EXPECT_EQ(h.components[2].horizontalFactor, 3);
    EXPECT_EQ(std::string(h.components[2].name, 5), "u/vXY");
}

// Writes a KORVA file of header and frameCount zeroed frames of frameBytes.
std::string WriteKorva(const TempDir& dir, const std::string& name, const KorvaLayout& layout,
                       size_t frameBytes = 0, int frameCount = 0) {
    auto bytes = KorvaHeaderBytes(layout);
    bytes.resize(bytes.size() + frameBytes * size_t(frameCount), 0x33);
    WriteBytes(dir.File(name), bytes);
    return dir.File(name);
}

TEST(KorvaProbe, WorkedProgressiveGeometry) {
    TempDir dir;
    KorvaLayout k;
    k.components = {{144, 176, 1, 1, "Y"}, {72, 88, 2, 2, "U"}, {72, 88, 2, 2, "V"}};
    Recorder rec;
    Sequence s;
    ASSERT_TRUE(s.Open(WriteKorva(dir, "p.yuv", k, 38016, 2), 16, 16));
    const auto& d = s.display;
    EXPECT_EQ(d.isKorva, 1);
    EXPECT_EQ(d.width, 176);
    EXPECT_EQ(d.height, 144);
    EXPECT_EQ(d.yStride, 176);
    EXPECT_EQ(d.ySize, 176 * 144);
    EXPECT_EQ(d.cStride, 88);
    EXPECT_EQ(d.cSize, 88 * 72);
    EXPECT_EQ(d.uvMultiplexed, 0);
    EXPECT_EQ(d.frameBytes, 176 * 144 * 3 / 2);
    EXPECT_EQ(d.dataStart, 512u);
    EXPECT_EQ(d.header.chromaVerticalFactor(), 2);
    EXPECT_EQ(d.rgbBuffer.size(), size_t(176 * 144 * 3));
    EXPECT_TRUE(rec.messages.empty());
}

TEST(KorvaProbe, WorkedInterlacedGeometry) {
    TempDir dir;
    KorvaLayout k;
    k.interlaceFactor = 2;
    k.frameHeaderRecords = 1;
    k.components = {{288, 720, 1, 1, "Y"}, {288, 720, 1, 2, "U/V"}};
    Sequence s;
    ASSERT_TRUE(s.Open(WriteKorva(dir, "i.yuv", k)));
    const auto& d = s.display;
    EXPECT_EQ(d.isKorva, 1);
    EXPECT_EQ(d.width, 720);
    EXPECT_EQ(d.height, 576);
    EXPECT_EQ(d.yStride, 720);
    EXPECT_EQ(d.ySize, 720 * 288);
    EXPECT_EQ(d.cStride, 360);
    EXPECT_EQ(d.cSize, 360 * 288);
    EXPECT_EQ(d.uvMultiplexed, 1);
    EXPECT_EQ(d.frameBytes, 2 * (2 * 720 * 288) + 64);
    EXPECT_EQ(d.dataStart, 384u);
}

TEST(KorvaProbe, DataStartFollowsTheRecords) {
    TempDir dir;
    // No extra records, one component: component records at 128..255.
    KorvaLayout one;
    one.components = {{4, 8, 1, 1, "Y"}};
    Sequence s1;
    ASSERT_TRUE(s1.Open(WriteKorva(dir, "one.yuv", one, 32, 1)));
    EXPECT_EQ(s1.display.isKorva, 1);
    EXPECT_EQ(s1.display.dataStart, 256u);
    EXPECT_EQ(s1.left.GetPosition(), 256u);

    KorvaLayout three = testing_support::KorvaProgressive(8, 4);
    three.extraHeaderRecords = 2;
    Sequence s3;
    ASSERT_TRUE(s3.Open(WriteKorva(dir, "three.yuv", three, 48, 1)));
    EXPECT_EQ(s3.display.isKorva, 1);
    EXPECT_EQ(s3.display.dataStart, 640u);
}

TEST(KorvaProbe, LumaOnlyFile) {
    TempDir dir;
    KorvaLayout k;
    k.frameHeaderRecords = 2;
    k.components = {{6, 10, 1, 1, "y"}};
    Sequence s;
    ASSERT_TRUE(s.Open(WriteKorva(dir, "l.yuv", k)));
    const auto& d = s.display;
    EXPECT_EQ(d.isKorva, 1);
    EXPECT_EQ(d.cSize, 0);
    EXPECT_EQ(d.cStride, 0);
    EXPECT_EQ(d.ySize, 60);
    EXPECT_EQ(d.frameBytes, 60 + 2 * 64);
}

TEST(KorvaProbe, MultiplexedNameInEitherCase) {
    TempDir dir;
    for (const char* name : {"U/V", "u/v", " u/V "}) {
        SCOPED_TRACE(name);
        KorvaLayout k = testing_support::KorvaInterlaced(8, 2, 0);
        k.components[1].name = name;
        Sequence s;
        ASSERT_TRUE(s.Open(WriteKorva(dir, "m.yuv", k)));
        EXPECT_EQ(s.display.uvMultiplexed, 1);
    }
}

TEST(KorvaProbe, BlankedYNameIsRecognised) {
    TempDir dir;
    KorvaLayout k = testing_support::KorvaProgressive(8, 4);
    k.components[0].name = " y   ";
    Recorder rec;
    Sequence s;
    ASSERT_TRUE(s.Open(WriteKorva(dir, "b.yuv", k)));
    EXPECT_EQ(s.display.isKorva, 1);
    EXPECT_EQ(s.display.width, 8);
    EXPECT_TRUE(rec.messages.empty());
}

TEST(KorvaProbe, YAfterUVTakesSizesFromBothEntries) {
    TempDir dir;
    KorvaLayout k;
    k.interlaceFactor = 2;
    k.components = {{4, 8, 1, 1, "U/V"}, {4, 8, 1, 2, "Y"}};
    Recorder rec;
    Sequence s;
    ASSERT_TRUE(s.Open(WriteKorva(dir, "o.yuv", k)));
    const auto& d = s.display;
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0], "Error, first component of korva file must be Y");
    EXPECT_EQ(d.isKorva, 1);
    EXPECT_EQ(d.width, 8);    // from the "Y" entry
    EXPECT_EQ(d.height, 8);   // 2 x its lines
    EXPECT_EQ(d.yStride, 8);  // entry 0
    EXPECT_EQ(d.ySize, 32);
    EXPECT_EQ(d.cStride, 4);  // entry 1: 8 / 2
    EXPECT_EQ(d.cSize, 16);
    EXPECT_EQ(d.uvMultiplexed, 1);
    EXPECT_EQ(d.frameBytes, 2 * (32 + 32));
}

TEST(KorvaProbe, EveryMisplacedYIsReported) {
    TempDir dir;
    KorvaLayout k;
    k.components = {{4, 8, 1, 1, "Y"}, {4, 8, 1, 1, "Y"}, {4, 8, 1, 1, "y"}};
    Recorder rec;
    Sequence s;
    ASSERT_TRUE(s.Open(WriteKorva(dir, "yyy.yuv", k)));
    EXPECT_EQ(rec.messages.size(), 2u);
    EXPECT_EQ(s.display.isKorva, 1);
}

TEST(KorvaProbe, ProbingAgainGivesTheSameGeometry) {
    TempDir dir;
    KorvaLayout k = testing_support::KorvaInterlaced(16, 4, 1);
    Sequence s;
    ASSERT_TRUE(s.Open(WriteKorva(dir, "again.yuv", k, 2 * (64 + 64) + 64, 3)));
    const auto& d = s.display;
    const int frameBytes = d.frameBytes;
    const uint64_t dataStart = d.dataStart;
    ASSERT_TRUE(s.ReadFrame(2));
    s.display.defaultWidth = 352;  // a preset size changes nothing for a KORVA file
    ASSERT_TRUE(s.display.SetupGeometry());
    EXPECT_EQ(d.isKorva, 1);
    EXPECT_EQ(d.width, 16);
    EXPECT_EQ(d.height, 8);
    EXPECT_EQ(d.frameBytes, frameBytes);
    EXPECT_EQ(d.dataStart, dataStart);
    EXPECT_EQ(s.left.GetPosition(), dataStart);
}

// With an odd width the last U, V pair of a multiplexed line lies two bytes past the line: the
// last line of the second field reads two bytes past the frame, inside the buffer's slack.
TEST(KorvaProbe, OddWidthInterlacedFileIsKorva) {
    TempDir dir;
    for (int w : {3, 9, 721}) {
        SCOPED_TRACE(w);
        Recorder rec;
        Sequence s;
        ASSERT_TRUE(s.Open(WriteKorva(dir, "odd.yuv", testing_support::KorvaInterlaced(w, 4, 0))));
        EXPECT_EQ(s.display.isKorva, 1);
        EXPECT_EQ(s.display.width, w);
        EXPECT_EQ(s.display.cStride, w / 2);
        EXPECT_TRUE(rec.messages.empty());
    }
}

TEST(KorvaProbe, UnsupportedLayoutsAreStillKorva) {
    TempDir dir;
    KorvaLayout mux = testing_support::KorvaInterlaced(8, 2, 0);
    mux.interlaceFactor = 1;
    Sequence s1;
    ASSERT_TRUE(s1.Open(WriteKorva(dir, "mp.yuv", mux)));
    EXPECT_EQ(s1.display.isKorva, 1);
    EXPECT_EQ(s1.display.uvMultiplexed, 1);

    KorvaLayout sep = testing_support::KorvaProgressive(8, 4);
    sep.interlaceFactor = 2;
    Sequence s2;
    ASSERT_TRUE(s2.Open(WriteKorva(dir, "si.yuv", sep)));
    EXPECT_EQ(s2.display.isKorva, 1);
    EXPECT_EQ(s2.display.uvMultiplexed, 0);
    EXPECT_EQ(s2.display.height, 8);
}

// Headers that are refused: a message (or none), then raw geometry at the default size from
// byte 0.
struct RefusedCase {
    const char* name;
    KorvaLayout layout;
    const char* message;   // nullptr: not KORVA at all, no message
    size_t keepBytes = 0;  // > 0: the file is cut to this many bytes
};

KorvaLayout Progressive() {
    return testing_support::KorvaProgressive(8, 4);
}

std::vector<RefusedCase> RefusedCases() {
    using namespace engine::msg;
    std::vector<RefusedCase> cases;
    auto add = [&](const char* name, KorvaLayout k, const char* message, size_t keep = 0) {
        cases.push_back({name, std::move(k), message, keep});
    };
    KorvaLayout k = Progressive();
    k.recordSize = 63;
    add("record size 63", k, nullptr);
    k = Progressive();
    k.componentCount = 4;
    k.components.push_back({2, 4, 2, 2, "A"});
    add("four components", k, kKorvaComponentCount);
    k = Progressive();
    k.componentCount = 0;
    add("no components", k, kKorvaNoY);
    k = Progressive();
    k.componentCount = -1;
    k.components.clear();
    add("negative component count", k, kKorvaNoY);
    k = Progressive();
    k.components[0].name = "L";
    add("no Y", k, kKorvaNoY);
    k = Progressive();
    k.components[0].pixelsPerLine = 0;
    add("Y of width 0", k, kKorvaNoY);
    k = Progressive();
    k.extraHeaderRecords = -1;
    add("negative extra records", k, kKorvaNegativeCount);
    k = Progressive();
    k.frameHeaderRecords = -2;
    add("negative frame header records", k, kKorvaNegativeCount);
    k = Progressive();
    k.interlaceFactor = 0;
    add("interlace 0", k, kKorvaInterlace);
    k = Progressive();
    k.interlaceFactor = -1;
    add("interlace -1", k, kKorvaInterlace);
    k = Progressive();
    k.components[0].horizontalFactor = 0;
    add("Y horizontal factor 0", k, kKorvaZeroFactor);
    k = Progressive();
    k.components[0].verticalFactor = 0;
    add("Y vertical factor 0", k, kKorvaZeroFactor);
    k = Progressive();
    k.components[1].horizontalFactor = 0;
    add("chroma horizontal factor 0", k, kKorvaZeroFactor);
    k = Progressive();
    k.components[1].verticalFactor = 0;
    add("chroma vertical factor 0", k, kKorvaZeroFactor);
    k = Progressive();
    add("ends in main record 2", k, kKorvaTruncated, 100);
    add("ends in a component record", k, kKorvaTruncated, 128 + 64 + 30);
    add("ends before the last component", k, kKorvaTruncated, 128 + 4 * 64);
    k = Progressive();
    k.extraHeaderRecords = 1000;
    add("extra records past the end", k, kKorvaTruncated, 128 + 640);
    k = Progressive();
    k.components[0] = {999999, 999999, 1, 1, "Y"};
    add("absurd size", k, kKorvaSize);
    k = Progressive();
    k.components[0].lines = 0;
    add("no lines", k, kKorvaSize);
    k = Progressive();
    k.components[0].pixelsPerLine = -8;
    add("negative width", k, kKorvaSize);
    k = Progressive();
    k.components[0].horizontalFactor = -1;
    add("negative Y stride", k, kKorvaSize);
    k = Progressive();
    k.interlaceFactor = 3;
    add("three fields walked as one", k, kKorvaPlanes);
    k = Progressive();
    k.components[1].verticalFactor = 4;
    add("chroma lines running forward", k, kKorvaPlanes);
    k = Progressive();
    k.components[1].verticalFactor = -2;
    add("negative chroma vertical factor", k, kKorvaPlanes);
    k = testing_support::KorvaInterlaced(8, 2, 0);
    k.components[1].verticalFactor = 4;
    add("multiplexed chroma running forward", k, kKorvaPlanes);
    k = testing_support::KorvaInterlaced(8, 2, 0);
    k.components[0].horizontalFactor = 2;
    add("Y lines wider than their stride", k, kKorvaPlanes);
    return cases;
}

TEST(KorvaProbe, RefusedHeadersFallBackToRaw) {
    TempDir dir;
    for (const RefusedCase& c : RefusedCases()) {
        SCOPED_TRACE(c.name);
        auto bytes = KorvaHeaderBytes(c.layout);
        if (c.keepBytes > 0) {
            bytes.resize(c.keepBytes);
        } else {
            bytes.resize(bytes.size() + 6 * 4 * 3 / 2 * 5, 0x21);  // some raw 6 x 4 frames
        }
        WriteBytes(dir.File("r.yuv"), bytes);
        Recorder rec;
        Sequence s;
        ASSERT_TRUE(s.Open(dir.File("r.yuv"), 6, 4));
        const auto& d = s.display;
        EXPECT_EQ(d.isKorva, 0);
        EXPECT_EQ(d.width, 6);
        EXPECT_EQ(d.height, 4);
        EXPECT_EQ(d.ySize, 24);
        EXPECT_EQ(d.cSize, 6);
        EXPECT_EQ(d.cStride, 3);
        EXPECT_EQ(d.frameBytes, 36);
        EXPECT_EQ(d.dataStart, 0u);
        EXPECT_EQ(s.left.GetPosition(), 0u);
        if (c.message == nullptr) {
            EXPECT_TRUE(rec.messages.empty());
        } else {
            ASSERT_EQ(rec.messages.size(), 1u);
            EXPECT_EQ(rec.messages[0], c.message);
        }
        EXPECT_TRUE(rec.exits.empty());
        s.display.ConvertFrame();  // converts as raw without fault
    }
}

TEST(KorvaProbe, MessagesOfTheSystem) {
    using namespace engine::msg;
    EXPECT_STREQ(kKorvaNoY, "Invalid korva file (can't get Y component)");
    EXPECT_STREQ(kKorvaYNotFirst, "Error, first component of korva file must be Y");
    EXPECT_STREQ(kMuxProgressive, "KORVA, U/V multiplexed, non-interlaced not supported yet.");
    EXPECT_STREQ(kSeparateInterlaced,
                 "KORVA, U & V not multiplexed, interlaced not supported yet.");
    for (const char* m : {kKorvaTruncated, kKorvaComponentCount, kKorvaNegativeCount,
                          kKorvaZeroFactor, kKorvaInterlace, kKorvaSize, kKorvaPlanes}) {
        EXPECT_EQ(std::string(m).rfind("Invalid korva file (", 0), 0u) << m;
    }
}

}  // namespace
