// The engine object: colour tables, raw geometry, buffers, the placeholder picture, the
// DrawDib restart, the choice between raw and KORVA and frame reading.
#include "engine/sequence_display.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/picture_drawing.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/sequence_files.h"

namespace {

using engine::CSequenceDisplay;
using engine_test::Recorder;
using engine_test::Sequence;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct TableRow {
    int k, vr, ug, vg, ub;
};

TEST(ColourTables, TellingEntries) {
    const TableRow rows[] = {
        {0, -145, 50, 74, -259}, {1, -144, 50, 73, -257}, {127, -1, 0, 0, -2},
        {128, 0, 0, 0, 0},       {129, 1, 0, 0, 2},       {255, 144, -50, -73, 257},
    };
    CSequenceDisplay d;
    for (const TableRow& row : rows) {
        SCOPED_TRACE(row.k);
        EXPECT_EQ(d.tabVR[row.k], row.vr);
        EXPECT_EQ(d.tabUG[row.k], row.ug);
        EXPECT_EQ(d.tabVG[row.k], row.vg);
        EXPECT_EQ(d.tabUB[row.k], row.ub);
    }
}

TEST(ColourTables, EveryEntryTruncatesTowardZero) {
    CSequenceDisplay d;
    for (int k = 0; k < 256; ++k) {
        const double dk = k - 128;
        EXPECT_EQ(d.tabVR[k], long(std::trunc(dk * 1.1398))) << k;
        EXPECT_EQ(d.tabUG[k], long(std::trunc(dk * -0.3983))) << k;
        EXPECT_EQ(d.tabVG[k], long(std::trunc(dk * -0.5805))) << k;
        EXPECT_EQ(d.tabUB[k], long(std::trunc(dk * 2.0279))) << k;
        // Negative products are truncated up, never floored.
        if (k < 128) {
            EXPECT_LE(d.tabVR[k], 0);
            EXPECT_GE(double(d.tabVR[k]), dk * 1.1398);
        }
    }
}

TEST(Construction, FieldsStartAsDocumented) {
    CSequenceDisplay d;
    EXPECT_EQ(d.zoom, 0);
    EXPECT_EQ(d.width, 0);
    EXPECT_EQ(d.height, 0);
    EXPECT_EQ(d.isKorva, 0);
    EXPECT_EQ(d.frameBytes, 0);
    EXPECT_EQ(d.dataStart, 0u);
    EXPECT_EQ(d.loop.load(), 1);
    EXPECT_EQ(d.dual, 0);
    EXPECT_EQ(d.deltaMode, 0);
    EXPECT_EQ(d.dualScroll, 1);
    EXPECT_EQ(d.showY, 1);
    EXPECT_EQ(d.showUV, 1);
    EXPECT_EQ(d.readyToPlay, 0);
    EXPECT_EQ(d.playing, 0);
    EXPECT_EQ(d.rightFile, nullptr);
    EXPECT_FALSE(d.rgbBuffer);
    EXPECT_FALSE(d.leftFrame);
    EXPECT_FALSE(d.rightFrame);
}

TEST(RawGeometry, Qcif) {
    TempDir dir;
    WriteBytes(dir.File("clip.raw"), testing_support::RawSequence(176, 144, 2));
    Sequence s;
    ASSERT_TRUE(s.Open(dir.File("clip.raw"), 176, 144));
    const CSequenceDisplay& d = s.display;
    EXPECT_EQ(d.isKorva, 0);
    EXPECT_EQ(d.width, 176);
    EXPECT_EQ(d.height, 144);
    EXPECT_EQ(d.ySize, 176 * 144);
    EXPECT_EQ(d.cSize, 88 * 72);
    EXPECT_EQ(d.yStride, 176);
    EXPECT_EQ(d.cStride, 88);
    EXPECT_EQ(d.frameBytes, 176 * 144 * 3 / 2);
    EXPECT_EQ(d.dataStart, 0u);
    EXPECT_EQ(d.rgbBuffer.size(), size_t(3 * 176 * 144));
    EXPECT_EQ(d.leftFrame.size(), size_t(d.frameBytes));

    const platform::BITMAPINFOHEADER& b = d.bitmapInfo;
    EXPECT_EQ(b.biSize, 40u);
    EXPECT_EQ(b.biWidth, 176);
    EXPECT_EQ(b.biHeight, 144);
    EXPECT_EQ(b.biPlanes, 1);
    EXPECT_EQ(b.biBitCount, 24);
    EXPECT_EQ(b.biCompression, platform::BI_RGB);
    EXPECT_EQ(b.biSizeImage, uint32_t(176 * 144 * 3));
    EXPECT_EQ(b.biClrUsed, 0u);
    EXPECT_EQ(b.biClrImportant, 0u);
}

TEST(RawGeometry, DualDoublesThePictureOnly) {
    CSequenceDisplay d;
    d.defaultWidth = 176;
    d.defaultHeight = 144;
    d.dual = 1;
    ASSERT_TRUE(d.SetupGeometry());
    EXPECT_EQ(d.bitmapInfo.biWidth, 352);
    EXPECT_EQ(d.bitmapInfo.biHeight, 144);
    EXPECT_EQ(d.bitmapInfo.biSizeImage, uint32_t(2 * 3 * 176 * 144));
    EXPECT_EQ(d.rgbBuffer.size(), size_t(2 * 3 * 176 * 144));
    EXPECT_EQ(d.frameBytes, 176 * 144 * 3 / 2);
    EXPECT_EQ(d.rightFrame.size(), size_t(d.frameBytes));
}

struct OddSize {
    int w, h, cStride, cSize, frameBytes;
};

TEST(RawGeometry, OddSizesTruncate) {
    const OddSize rows[] = {
        {175, 144, 87, 175 * 144 / 4, 175 * 144 * 3 / 2},
        {3, 3, 1, 2, 13},
        {1, 1, 0, 0, 1},
        {5, 7, 2, 8, 52},
    };
    for (const OddSize& r : rows) {
        SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h));
        CSequenceDisplay d;
        d.defaultWidth = r.w;
        d.defaultHeight = r.h;
        ASSERT_TRUE(d.SetupGeometry());
        EXPECT_EQ(d.cStride, r.cStride);
        EXPECT_EQ(d.cSize, r.cSize);
        EXPECT_EQ(d.frameBytes, r.frameBytes);
        EXPECT_EQ(d.ySize, r.w * r.h);
    }
}

TEST(RawGeometry, WithoutFileKeepsDataStart) {
    CSequenceDisplay d;
    d.dataStart = 640;
    d.defaultWidth = 352;
    d.defaultHeight = 288;
    ASSERT_TRUE(d.SetupGeometry());
    EXPECT_EQ(d.width, 352);
    EXPECT_EQ(d.height, 288);
    EXPECT_EQ(d.dataStart, 640u);
}

TEST(RawGeometry, RefusedSizeLeavesEverythingAsItWas) {
    Recorder rec;
    CSequenceDisplay d;
    d.defaultWidth = 176;
    d.defaultHeight = 144;
    ASSERT_TRUE(d.SetupGeometry());
    const uint8_t* before = d.rgbBuffer.data();
    d.defaultWidth = engine::kMaxFrameSide + 1;
    EXPECT_FALSE(d.SetupGeometry());
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0],
              "Invalid frame size 16385 x 144 (width and height must be 1 to 16384).");
    EXPECT_EQ(d.width, 176);
    EXPECT_EQ(d.rgbBuffer.data(), before);
    d.defaultWidth = 0;
    EXPECT_FALSE(d.SetupGeometry());
    d.defaultWidth = 16384;
    d.defaultHeight = 16384;  // 1.5 GiB of picture
    EXPECT_FALSE(d.SetupGeometry());
    EXPECT_EQ(rec.messages.back(),
              "Frame size 16384 x 16384 is too large (a picture may take at most 1 GiB).");
    EXPECT_EQ(d.width, 176);
    EXPECT_TRUE(rec.exits.empty());
}

TEST(FrameSize, Limits) {
    EXPECT_TRUE(engine::FrameSizeFits(1, 1));
    EXPECT_TRUE(engine::FrameSizeFits(3840, 2160));
    EXPECT_TRUE(engine::FrameSizeFits(16384, 8192));
    EXPECT_FALSE(engine::FrameSizeFits(16384, 16384));
    EXPECT_FALSE(engine::FrameSizeFits(0, 10));
    EXPECT_FALSE(engine::FrameSizeFits(10, -1));
    EXPECT_FALSE(engine::FrameSizeFits(16385, 2));
}

TEST(Placeholder, BlueRampFromTheBottomLeftCorner) {
    for (int dual : {0, 1}) {
        SCOPED_TRACE(dual);
        CSequenceDisplay d;
        d.defaultWidth = 4;
        d.defaultHeight = 4;
        d.dual = dual;
        ASSERT_TRUE(d.SetupGeometry());
        const int bw = d.bitmapInfo.biWidth, bh = d.bitmapInfo.biHeight;
        const uint8_t* p = d.rgbBuffer.data();
        // The bottom-left pixel is the first in memory.
        EXPECT_EQ(p[0], 70);
        EXPECT_EQ(p[1], 0);
        EXPECT_EQ(p[2], 0);
        for (int i = 0; i < bh; ++i) {
            for (int j = 0; j < bw; ++j) {
                const uint8_t* px = p + (size_t(i) * bw + j) * 3;
                const int blue = 70 + int(75 * (double(i) / bh + double(j) / bw));
                EXPECT_EQ(px[0], blue) << i << "," << j;
                EXPECT_EQ(px[1], 0);
                EXPECT_EQ(px[2], 0);
            }
        }
    }
    // Worked corners: 4 x 4 top-right is 70 + trunc(75 x 1.5) = 182; dual 8 x 4 is 70 + 121.
    CSequenceDisplay d;
    d.defaultWidth = 4;
    d.defaultHeight = 4;
    ASSERT_TRUE(d.SetupGeometry());
    EXPECT_EQ(d.rgbBuffer.data()[(3 * 4 + 3) * 3], 182);
    d.dual = 1;
    ASSERT_TRUE(d.AllocateBuffers());
    EXPECT_EQ(d.rgbBuffer.data()[(3 * 8 + 7) * 3], 70 + 121);
}

TEST(Placeholder, LargePictureStaysBelow220) {
    CSequenceDisplay d;
    d.defaultWidth = 720;
    d.defaultHeight = 576;
    ASSERT_TRUE(d.SetupGeometry());
    const uint8_t* p = d.rgbBuffer.data();
    const size_t last = (size_t(576) * 720 - 1) * 3;
    EXPECT_EQ(p[last], 70 + int(75 * (575.0 / 576 + 719.0 / 720)));
    EXPECT_LE(p[last], 219);
}

TEST(DrawDib, RestartedWithThePictureSize) {
    CSequenceDisplay d;
    platform::MemoryDrawTarget target(8, 8);
    d.drawDib = platform::DrawDibOpen();
    d.drawDC = &target;
    d.defaultWidth = 176;
    d.defaultHeight = 144;
    ASSERT_TRUE(d.SetupGeometry());
    const platform::DrawDibSetup& s = platform::DrawDibState(d.drawDib);
    EXPECT_TRUE(s.begun);
    EXPECT_EQ(s.dc, &target);
    EXPECT_EQ(s.dstWidth, 176);
    EXPECT_EQ(s.dstHeight, 144);
    EXPECT_EQ(s.srcWidth, 176);
    EXPECT_EQ(s.srcHeight, 144);
    EXPECT_EQ(s.begins, 1);
    EXPECT_EQ(s.ends, 1);
    EXPECT_EQ(s.realizes, 1);
    d.dual = 1;
    ASSERT_TRUE(d.AllocateBuffers());
    EXPECT_EQ(s.dstWidth, 352);
    EXPECT_EQ(s.srcWidth, 352);
    EXPECT_EQ(s.begins, 2);
    EXPECT_EQ(s.ends, 2);
    platform::DrawDibClose(d.drawDib);
}

TEST(AllocateBuffers, UnknownImageTypeEndsTheProcess) {
    Recorder rec;
    CSequenceDisplay d;
    d.defaultWidth = 8;
    d.defaultHeight = 8;
    ASSERT_TRUE(d.SetupGeometry());
    d.isKorva = 2;
    EXPECT_FALSE(d.AllocateBuffers());
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0], "Error: Unknown image type.");
    ASSERT_EQ(rec.exits.size(), 1u);
    EXPECT_EQ(rec.exits[0], 1);
}

// Which names are probed for a KORVA header: a KORVA file is read as KORVA only when probed.
struct NameCase {
    const char* name;
    bool probed;
};

TEST(SetupGeometry, OnlyYuvNamesAreProbed) {
    const NameCase cases[] = {
        {"clip.yuv", true},  {"clip.YUV", true},   {"clip.Yuv", true},  {".yuv", true},
        {"clip.raw", false}, {"clip.yuv2", false}, {"clip.dat", false}, {"yuv", false},
        {"a", false},        {"ab", false},        {"clipyuv", false},
    };
    TempDir dir;
    auto bytes = testing_support::KorvaHeaderBytes(testing_support::KorvaProgressive(8, 4));
    bytes.resize(bytes.size() + 48 * 3, 0x40);
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File(c.name), bytes);
        Sequence s;
        ASSERT_TRUE(s.Open(dir.File(c.name), 16, 2));
        EXPECT_EQ(s.display.isKorva, c.probed ? 1 : 0);
        EXPECT_EQ(s.display.width, c.probed ? 8 : 16);
        EXPECT_EQ(s.display.dataStart, c.probed ? uint64_t(128 + 3 * 128) : 0u);
        EXPECT_EQ(s.left.GetPosition(), s.display.dataStart);
    }
}

TEST(SetupGeometry, RawYuvFileGetsDefaultSizeFromByteZero) {
    TempDir dir;
    WriteBytes(dir.File("foreman.yuv"), testing_support::RawSequence(16, 8, 3));
    for (const char* name : {"foreman.yuv", "FOREMAN.YUV"}) {
        std::filesystem::copy_file(dir.File("foreman.yuv"), dir.File(std::string("x") + name));
        Recorder rec;
        Sequence s;
        ASSERT_TRUE(s.Open(dir.File(std::string("x") + name), 16, 8));
        EXPECT_EQ(s.display.isKorva, 0);
        EXPECT_EQ(s.display.width, 16);
        EXPECT_EQ(s.display.height, 8);
        EXPECT_EQ(s.display.dataStart, 0u);
        EXPECT_EQ(s.left.GetPosition(), 0u);
        EXPECT_TRUE(rec.messages.empty());
        ASSERT_TRUE(s.ReadFrame(1));
        EXPECT_EQ(s.display.leftFrame.data()[0], 1);  // frame 1's first byte
    }
}

TEST(SetupGeometry, FileShorterThanARecordIsRaw) {
    TempDir dir;
    WriteBytes(dir.File("tiny.yuv"), std::vector<uint8_t>(10, 7));
    Recorder rec;
    Sequence s;
    ASSERT_TRUE(s.Open(dir.File("tiny.yuv"), 2, 2));
    EXPECT_EQ(s.display.isKorva, 0);
    EXPECT_EQ(s.display.dataStart, 0u);
    EXPECT_TRUE(rec.messages.empty());
}

TEST(ReadFrame, ShortReadsReturnTheCountAndKeepEarlierBytes) {
    TempDir dir;
    auto bytes = testing_support::RawSequence(4, 4, 2, 9, 10);  // 2 frames and 10 bytes
    WriteBytes(dir.File("s.raw"), bytes);
    Sequence s;
    ASSERT_TRUE(s.Open(dir.File("s.raw"), 4, 4));
    ASSERT_EQ(s.display.frameBytes, 24);
    EXPECT_EQ(s.display.ReadLeftFrame(), 24u);
    EXPECT_EQ(s.display.ReadLeftFrame(), 24u);
    const std::vector<uint8_t> second(s.display.leftFrame.data(), s.display.leftFrame.data() + 24);
    EXPECT_EQ(second, std::vector<uint8_t>(bytes.begin() + 24, bytes.begin() + 48));
    EXPECT_EQ(s.display.ReadLeftFrame(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(s.display.leftFrame.data()[i], 0x5a);
    }
    for (int i = 10; i < 24; ++i) {
        EXPECT_EQ(s.display.leftFrame.data()[i], second[size_t(i)]);
    }
    EXPECT_EQ(s.display.ReadLeftFrame(), 0u);
}

TEST(ReadFrame, RightFileUsesTheLeftGeometry) {
    TempDir dir;
    WriteBytes(dir.File("l.raw"), testing_support::RawSequence(8, 4, 2, 1));
    auto right = testing_support::RawSequence(8, 4, 2, 2);
    WriteBytes(dir.File("r.raw"), right);
    Sequence s;
    ASSERT_TRUE(s.Open(dir.File("l.raw"), 8, 4));
    ASSERT_TRUE(s.OpenRight(dir.File("r.raw")));
    ASSERT_TRUE(s.ReadFrame(1));
    EXPECT_TRUE(std::equal(right.begin() + 48, right.end(), s.display.rightFrame.data()));
}

TEST(ReadFrame, WithoutFileOrBufferReadsNothing) {
    CSequenceDisplay d;
    EXPECT_EQ(d.ReadLeftFrame(), 0u);
    EXPECT_EQ(d.ReadRightFrame(), 0u);
}

TEST(Destruction, ClosesTheRightFile) {
    TempDir dir;
    WriteBytes(dir.File("r.raw"), testing_support::RawSequence(8, 4, 1));
    auto* d = new CSequenceDisplay;
    d->rightFile = new platform::CFile;
    ASSERT_TRUE(d->rightFile->Open(dir.File("r.raw")));
    delete d;  // ASan reports the file object if it leaks
}

}  // namespace
