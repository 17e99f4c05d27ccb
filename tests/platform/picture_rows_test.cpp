// The drawing path's row kernels and RenderRequest: every kernel set against the scalar
// kernels and against a pixel-by-pixel rendering, byte for byte, at widths around the vector
// block, 1x and 2x, with the destination cut at every edge of the surface.
#include "platform/picture_rows.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using platform::DrawRequest;
using platform::PictureRowKernels;

// Every kernel set this processor has: the scalar one first.
std::vector<const PictureRowKernels*> KernelSets() {
    std::vector<const PictureRowKernels*> sets{&platform::ScalarPictureRows()};
    if (const PictureRowKernels* v = platform::VectorPictureRows()) {
        sets.push_back(v);
    }
    return sets;
}

// Bytes that end where an inaccessible page begins, so any access past them faults.
class PageEndBuffer {
public:
    explicit PageEndBuffer(size_t bytes) : page_(size_t(::sysconf(_SC_PAGESIZE))) {
        pages_ = (bytes + page_ - 1) / page_ + 1;
        base_ = static_cast<uint8_t*>(::mmap(nullptr, pages_ * page_, PROT_READ | PROT_WRITE,
                                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        EXPECT_NE(base_, MAP_FAILED);
        ::mprotect(base_ + (pages_ - 1) * page_, page_, PROT_NONE);
        data_ = base_ + (pages_ - 1) * page_ - bytes;
    }
    ~PageEndBuffer() { ::munmap(base_, pages_ * page_); }
    PageEndBuffer(const PageEndBuffer&) = delete;
    PageEndBuffer& operator=(const PageEndBuffer&) = delete;
    uint8_t* data() { return data_; }

private:
    size_t page_;
    size_t pages_;
    uint8_t* base_;
    uint8_t* data_;
};

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = uint8_t(rng());
    }
    return bytes;
}

const int kWidths[] = {0, 1, 2, 3, 15, 16, 17, 31, 32, 33, 47, 48, 49, 63, 64, 65, 100, 1919};

TEST(PictureRows, KernelsMatchTheScalarOnesAtPageEnds) {
    for (const PictureRowKernels* k : KernelSets()) {
        for (int n : kWidths) {
            // Vector kernels take whole blocks; RenderRequestWith gives them nothing else.
            const int whole = n / k->block * k->block;
            if (whole == 0) {
                continue;
            }
            const auto src = RandomBytes(size_t(n) * 3, uint32_t(n) + 7);
            PageEndBuffer in(size_t(whole) * 3);
            std::memcpy(in.data(), src.data(), size_t(whole) * 3);
            for (int doubled = 0; doubled < 2; ++doubled) {
                const size_t words = size_t(whole) * (doubled ? 2 : 1);
                PageEndBuffer out(words * 4);
                std::vector<uint32_t> expected(words);
                (doubled ? k->rowDoubled : k->row)(in.data(),
                                                   reinterpret_cast<uint32_t*>(out.data()), whole);
                (doubled ? platform::DrawRowBgrToXrgbDoubled_C : platform::DrawRowBgrToXrgb_C)(
                    src.data(), expected.data(), whole);
                EXPECT_EQ(std::memcmp(out.data(), expected.data(), words * 4), 0)
                    << k->name << " width " << n << (doubled ? " 2x" : " 1x");
            }
        }
    }
}

TEST(PictureRows, ScalarKernelsMakeOpaqueRgbWords) {
    const uint8_t bgr[] = {0x11, 0x22, 0x33, 0xfe, 0x00, 0x80};
    uint32_t once[2], twice[4];
    platform::DrawRowBgrToXrgb_C(bgr, once, 2);
    platform::DrawRowBgrToXrgbDoubled_C(bgr, twice, 2);
    EXPECT_EQ(once[0], 0xff332211u);
    EXPECT_EQ(once[1], 0xff8000feu);
    EXPECT_EQ(twice[0], 0xff332211u);
    EXPECT_EQ(twice[1], 0xff332211u);
    EXPECT_EQ(twice[2], 0xff8000feu);
    EXPECT_EQ(twice[3], 0xff8000feu);
}

// The straightforward rendering: one destination pixel at a time, every one tested against the
// surface.
void RenderPixelByPixel(const DrawRequest& r, uint32_t* surface, int stride, int w, int h) {
    for (int sy = 0; sy < r.srcH; ++sy) {
        const int line = r.srcY + sy;
        const uint8_t* row = r.bits + size_t(r.pictureHeight - 1 - line) * r.pictureWidth * 3;
        for (int ry = 0; ry < r.scaleY; ++ry) {
            const int dy = r.dstY + sy * r.scaleY + ry;
            for (int sx = 0; sx < r.srcW; ++sx) {
                const uint8_t* p = row + size_t(r.srcX + sx) * 3;
                for (int rx = 0; rx < r.scaleX; ++rx) {
                    const int dx = r.dstX + sx * r.scaleX + rx;
                    if (dx >= 0 && dx < w && dy >= 0 && dy < h) {
                        surface[size_t(dy) * stride + dx] =
                            0xff000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
                    }
                }
            }
        }
    }
}

struct Case {
    const char* name;
    int pictureWidth, pictureHeight;
    int srcX, srcY, srcW, srcH;
    int dstX, dstY;
    int scale;
};

// Surfaces are 90 x 50 with a stride of 97.
const Case kCases[] = {
    {"whole picture 1x", 33, 17, 0, 0, 33, 17, 5, 5, 1},
    {"whole picture 2x", 33, 17, 0, 0, 33, 17, 5, 5, 2},
    {"part, odd width 1x", 71, 23, 3, 4, 49, 11, 2, 1, 1},
    {"part, odd width 2x", 71, 23, 3, 4, 35, 11, 2, 1, 2},
    {"cut left at an odd pixel 2x", 40, 10, 0, 0, 40, 10, -7, 3, 2},
    {"cut left 1x", 40, 10, 0, 0, 40, 10, -7, 3, 1},
    {"cut right at an odd pixel 2x", 60, 10, 0, 0, 60, 10, 1, 0, 2},
    {"cut right 1x", 120, 10, 1, 0, 119, 10, 3, 0, 1},
    {"cut top at an odd line 2x", 20, 30, 0, 0, 20, 30, 0, -5, 2},
    {"cut bottom at an odd line 2x", 20, 30, 0, 0, 20, 30, 0, 1, 2},
    {"cut on all sides 2x", 99, 41, 0, 0, 99, 41, -9, -11, 2},
    {"cut on all sides 1x", 177, 61, 0, 0, 177, 61, -17, -3, 1},
    {"wider than a block, one line", 64, 1, 0, 0, 64, 1, 0, 0, 1},
    {"one pixel 2x", 1, 1, 0, 0, 1, 1, 89, 49, 2},
    {"three times", 17, 9, 1, 1, 15, 7, -2, 4, 3},
    {"outside to the right", 17, 9, 0, 0, 17, 9, 90, 0, 2},
    {"outside above", 17, 9, 0, 0, 17, 9, 0, -18, 2},
    {"far outside", 17, 9, 0, 0, 17, 9, -2000000000, 2000000000, 2},
};

TEST(PictureRows, RenderRequestMatchesThePixelByPixelRendering) {
    constexpr int kW = 90, kH = 50, kStride = 97;
    for (const PictureRowKernels* k : KernelSets()) {
        for (const Case& c : kCases) {
            const auto bits = RandomBytes(size_t(c.pictureWidth) * c.pictureHeight * 3,
                                          uint32_t(c.pictureWidth * 131 + c.pictureHeight));
            DrawRequest r;
            r.dstX = c.dstX;
            r.dstY = c.dstY;
            r.srcX = c.srcX;
            r.srcY = c.srcY;
            r.srcW = c.srcW;
            r.srcH = c.srcH;
            r.scaleX = r.scaleY = c.scale;
            r.bits = bits.data();
            r.pictureWidth = c.pictureWidth;
            r.pictureHeight = c.pictureHeight;
            std::vector<uint32_t> expected(size_t(kStride) * kH, 0x12345678u);
            std::vector<uint32_t> got(expected);
            RenderPixelByPixel(r, expected.data(), kStride, kW, kH);
            platform::RenderRequestWith(*k, r, got.data(), kStride, kW, kH);
            EXPECT_EQ(got, expected) << k->name << ": " << c.name;
        }
    }
}

// Runs the ranges of minRows rows (the last one longer) last first, as bands on other threads
// may finish in any order; counts the calls.
int runnerCalls = 0;
void BackwardsInBands(int rows, int minRows, platform::RowJob job, void* context) {
    ++runnerCalls;
    EXPECT_GE(rows, 2 * minRows);
    const int bands = rows / minRows;
    for (int b = bands - 1; b >= 0; --b) {
        job(context, b * minRows, b == bands - 1 ? rows : (b + 1) * minRows);
    }
}

TEST(PictureRows, BandsOfRowsGiveTheSamePicture) {
    // At 2x the 1099 rows shown are worth splitting (bands of 256 Ki pixels); at 1x 549 are not.
    constexpr int kW = 1203, kH = 1100, kStride = 1211;
    const auto bits = RandomBytes(size_t(601) * 550 * 3, 99);
    for (const PictureRowKernels* k : KernelSets()) {
        for (int scale = 1; scale <= 2; ++scale) {
            DrawRequest r;
            r.dstX = -3;
            r.dstY = -1;
            r.srcX = 0;
            r.srcY = 0;
            r.srcW = 601;
            r.srcH = 550;
            r.scaleX = r.scaleY = scale;
            r.bits = bits.data();
            r.pictureWidth = 601;
            r.pictureHeight = 550;
            std::vector<uint32_t> expected(size_t(kStride) * kH, 0x12345678u);
            std::vector<uint32_t> got(expected);
            RenderPixelByPixel(r, expected.data(), kStride, kW, kH);
            const int before = runnerCalls;
            platform::RenderRequestWith(*k, r, got.data(), kStride, kW, kH, BackwardsInBands);
            EXPECT_EQ(runnerCalls, before + (scale == 2 ? 1 : 0));
            EXPECT_EQ(got, expected) << k->name << " " << scale << "x";
        }
    }
}

TEST(PictureRows, TheDrawingPathUsesTheChosenKernels) {
    const PictureRowKernels& chosen = platform::PictureRows();
    const char* cpu = std::getenv("PIXLOOM_CPU");
    const bool scalarOnly =
        cpu != nullptr && (std::string(cpu) == "c" || std::string(cpu) == "sse2");
    if (scalarOnly || platform::VectorPictureRows() == nullptr) {
        EXPECT_EQ(&chosen, &platform::ScalarPictureRows());
    } else {
        EXPECT_EQ(&chosen, platform::VectorPictureRows());
    }
}

}  // namespace
