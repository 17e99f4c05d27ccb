// Picture drawing: the bottom-up picture shown top-down, at 1x and 2x, with the source
// rectangle clipped to the picture and the destination cut at the surface's edges.
#include "platform/picture_drawing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::MemoryDrawTarget;

// A w x h picture whose pixel at picture line y, column x (from the top) has blue x, green y
// and red 200; stored bottom-up.
struct Picture {
    Picture(int w, int h) : bits(size_t(w) * h * 3) {
        info.biSize = 40;
        info.biWidth = w;
        info.biHeight = h;
        info.biPlanes = 1;
        info.biBitCount = 24;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                uint8_t* p = bits.data() + (size_t(h - 1 - y) * w + x) * 3;
                p[0] = uint8_t(x);
                p[1] = uint8_t(y);
                p[2] = 200;
            }
        }
    }
    static uint32_t Colour(int x, int y) { return 0xffc80000u | uint32_t(y) << 8 | uint32_t(x); }
    platform::BITMAPINFOHEADER info;
    std::vector<uint8_t> bits;
};

constexpr uint32_t kBackground = 0xff123456u;
constexpr unsigned kFlags = platform::DDF_SAME_HDC | platform::DDF_SAME_DRAW;

class DrawDibTest : public ::testing::Test {
protected:
    void SetUp() override {
        dib = platform::DrawDibOpen();
        target.Clear(kBackground);
    }
    void TearDown() override { platform::DrawDibClose(dib); }
    bool Draw(int xd, int yd, int wd, int hd, int xs, int ys, int ws, int hs) {
        return platform::DrawDibDraw(dib, &target, xd, yd, wd, hd, &pic.info, pic.bits.data(), xs,
                                     ys, ws, hs, kFlags);
    }

    platform::HDRAWDIB dib = nullptr;
    MemoryDrawTarget target{20, 16};
    Picture pic{5, 3};
};

TEST(DrawDibFlags, Value) {
    EXPECT_EQ(kFlags, 12u);
}

TEST_F(DrawDibTest, OneToOneShowsTheTopLineFirst) {
    ASSERT_TRUE(Draw(2, 1, 5, 3, 0, 0, 5, 3));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
            EXPECT_EQ(target.Pixel(x, y), inside ? Picture::Colour(x - 2, y - 1) : kBackground)
                << x << "," << y;
        }
    }
}

TEST_F(DrawDibTest, DoubledEveryPixelBecomesTwoByTwo) {
    ASSERT_TRUE(Draw(1, 2, 10, 6, 0, 0, 5, 3));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 1 && x < 11 && y >= 2 && y < 8;
            EXPECT_EQ(target.Pixel(x, y),
                      inside ? Picture::Colour((x - 1) / 2, (y - 2) / 2) : kBackground)
                << x << "," << y;
        }
    }
}

TEST_F(DrawDibTest, PartOfThePicture) {
    // Source rectangle: columns 1..3, lines 1..2, doubled.
    ASSERT_TRUE(Draw(0, 0, 6, 4, 1, 1, 3, 2));
    EXPECT_EQ(target.Pixel(0, 0), Picture::Colour(1, 1));
    EXPECT_EQ(target.Pixel(5, 3), Picture::Colour(3, 2));
    EXPECT_EQ(target.Pixel(6, 0), kBackground);
    EXPECT_EQ(target.Pixel(0, 4), kBackground);
}

TEST_F(DrawDibTest, SourceIsClippedToThePicture) {
    // A source rectangle reaching two columns left of and above the picture, and past its end.
    ASSERT_TRUE(Draw(0, 0, 18, 14, -2, -2, 9, 7));
    ASSERT_EQ(target.requests.size(), 1u);
    const platform::DrawRequest& r = target.requests[0];
    EXPECT_EQ(r.srcX, 0);
    EXPECT_EQ(r.srcY, 0);
    EXPECT_EQ(r.srcW, 5);
    EXPECT_EQ(r.srcH, 3);
    EXPECT_EQ(r.scaleX, 2);
    EXPECT_EQ(r.scaleY, 2);
    EXPECT_EQ(r.dstX, 4);
    EXPECT_EQ(r.dstY, 4);
    EXPECT_EQ(target.Pixel(3, 3), kBackground);
    EXPECT_EQ(target.Pixel(4, 4), Picture::Colour(0, 0));
    EXPECT_EQ(target.Pixel(13, 9), Picture::Colour(4, 2));
    EXPECT_EQ(target.Pixel(14, 10), kBackground);
}

TEST_F(DrawDibTest, DestinationIsCutAtTheSurface) {
    ASSERT_TRUE(Draw(-3, 14, 10, 6, 0, 0, 5, 3));
    EXPECT_EQ(target.Pixel(0, 14), Picture::Colour(1, 0));  // x -3 .. -2 is column 0
    EXPECT_EQ(target.Pixel(6, 15), Picture::Colour(4, 0));
    EXPECT_EQ(target.Pixel(7, 15), kBackground);
    EXPECT_EQ(target.Pixel(0, 13), kBackground);
}

TEST_F(DrawDibTest, EmptyOrOutsideRectanglesDrawNothing) {
    EXPECT_TRUE(Draw(0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_TRUE(Draw(0, 0, 5, 3, 5, 0, 5, 3));
    EXPECT_TRUE(Draw(0, 0, 5, 3, 0, -3, 5, 3));
    EXPECT_TRUE(target.requests.empty());
    for (uint32_t p : target.pixels) {
        ASSERT_EQ(p, kBackground);
    }
    EXPECT_FALSE(platform::DrawDibDraw(nullptr, &target, 0, 0, 5, 3, &pic.info, pic.bits.data(), 0,
                                       0, 5, 3, kFlags));
    EXPECT_FALSE(platform::DrawDibDraw(dib, nullptr, 0, 0, 5, 3, &pic.info, pic.bits.data(), 0, 0,
                                       5, 3, kFlags));
}

TEST_F(DrawDibTest, BeginEndAndRealizeAreCounted) {
    EXPECT_TRUE(platform::DrawDibBegin(dib, &target, 10, 6, &pic.info, 5, 3, 0));
    const platform::DrawDibSetup& s = platform::DrawDibState(dib);
    EXPECT_TRUE(s.begun);
    EXPECT_EQ(s.dstWidth, 10);
    EXPECT_EQ(s.srcWidth, 5);
    platform::DrawDibRealize(dib, &target, false);
    EXPECT_TRUE(platform::DrawDibEnd(dib));
    EXPECT_FALSE(s.begun);
    EXPECT_EQ(s.begins, 1);
    EXPECT_EQ(s.ends, 1);
    EXPECT_EQ(s.realizes, 1);
    EXPECT_FALSE(platform::DrawDibEnd(nullptr));
    EXPECT_FALSE(platform::DrawDibBegin(nullptr, &target, 1, 1, &pic.info, 1, 1, 0));
}

}  // namespace
