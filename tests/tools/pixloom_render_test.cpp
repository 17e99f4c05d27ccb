// pixloom-render, run as a program: the BMP it writes, its --info lines, its exit statuses and
// messages.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/engine/reference_conversion.h"
#include "tests/support/sequence_files.h"

namespace {

using testing_support::KorvaHeaderBytes;
using testing_support::KorvaLayout;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct Result {
    int status = -1;
    std::string out, err;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

class Render : public ::testing::Test {
protected:
    // Runs the renderer with args (no shell) in the test's folder.
    Result Run(const std::vector<std::string>& args) {
        const std::string outPath = dir.File("stdout.txt"), errPath = dir.File("stderr.txt");
        pid_t pid = ::fork();
        if (pid == 0) {
            int o = ::open(outPath.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
            int e = ::open(errPath.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
            ::dup2(o, 1);
            ::dup2(e, 2);
            if (::chdir(dir.path().c_str()) != 0) {
                ::_exit(126);
            }
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(PIXLOOM_RENDER));
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(PIXLOOM_RENDER, argv.data());
            ::_exit(127);
        }
        Result r;
        int status = 0;
        ::waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = ReadText(outPath);
        r.err = ReadText(errPath);
        return r;
    }
    std::string File(const std::string& name) const { return dir.File(name); }

    TempDir dir;
};

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

// The pixel rows of a BMP file without their padding, after checking the padding is zero.
std::vector<uint8_t> BmpPixels(const std::vector<uint8_t>& bmp, int w, int h) {
    const size_t row = size_t(w) * 3, padded = (row + 3) / 4 * 4;
    EXPECT_EQ(bmp.size(), 54 + padded * size_t(h));
    std::vector<uint8_t> pixels;
    for (int y = 0; y < h; ++y) {
        const size_t at = 54 + size_t(y) * padded;
        pixels.insert(pixels.end(), bmp.begin() + long(at), bmp.begin() + long(at + row));
        for (size_t p = row; p < padded; ++p) {
            EXPECT_EQ(bmp[at + p], 0) << "padding of row " << y;
        }
    }
    return pixels;
}

std::vector<uint8_t> Frame(const std::vector<uint8_t>& seq, size_t frameBytes, int n,
                           size_t start = 0) {
    return std::vector<uint8_t>(seq.begin() + long(start + frameBytes * size_t(n)),
                                seq.begin() + long(start + frameBytes * size_t(n + 1)));
}

TEST_F(Render, BmpHeaderOfAnOddWidth) {
    WriteBytes(File("s.raw"), testing_support::RawSequence(5, 3, 1));
    Result r = Run({"--size", "5x3", "-o", "out.bmp", "s.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const auto bmp = ReadBytes(File("out.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 16 * 3);  // rows of 15 bytes padded to 16
    const uint8_t want[54] = {
        'B', 'M', 102, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
        40,  0,   0,   0, 5, 0, 0, 0, 3, 0, 0,  0, 1, 0, 24, 0, 0, 0, 0, 0,
        48,  0,   0,   0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0,
    };
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin(), bmp.begin() + 54),
              std::vector<uint8_t>(want, want + 54));
}

TEST_F(Render, PixelsOfEachViewAndFrame) {
    const int w = 7, h = 5;
    const size_t fb = testing_support::RawFrameBytes(w, h);
    const auto seq = testing_support::RawSequence(w, h, 3, 11);
    WriteBytes(File("s.raw"), seq);
    const std::pair<const char*, reference::View> views[] = {
        {"color", reference::View::kColour},
        {"y", reference::View::kLuma},
        {"uv", reference::View::kChroma},
    };
    for (const auto& [name, view] : views) {
        for (int frame : {1, 3}) {
            SCOPED_TRACE(::testing::Message() << name << " frame " << frame);
            Result r = Run({"--size", "7x5", "--frame", std::to_string(frame), "--view", name, "-o",
                            "out.bmp", "s.raw"});
            ASSERT_EQ(r.status, 0) << r.err;
            reference::Options opt;
            opt.view = view;
            const auto want =
                reference::Convert(reference::Raw(w, h), opt, Frame(seq, fb, frame - 1));
            EXPECT_EQ(BmpPixels(ReadBytes(File("out.bmp")), w, h), want);
        }
    }
}

TEST_F(Render, DefaultSizeIsQcif) {
    WriteBytes(File("s.raw"), testing_support::RawSequence(176, 144, 1));
    Result r = Run({"-o", "out.bmp", "s.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto bmp = ReadBytes(File("out.bmp"));
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(Le32(bmp, 18), 176u);
    EXPECT_EQ(Le32(bmp, 22), 144u);
}

TEST_F(Render, DualAndDelta) {
    const int w = 6, h = 4;
    const size_t fb = testing_support::RawFrameBytes(w, h);
    const auto l = testing_support::RawSequence(w, h, 2, 1),
               rr = testing_support::RawSequence(w, h, 2, 2);
    WriteBytes(File("l.raw"), l);
    WriteBytes(File("r.raw"), rr);
    reference::Options opt;
    opt.dual = true;
    Result r = Run({"--size=6x4", "--frame=2", "-o", "dual.bmp", "l.raw", "r.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(BmpPixels(ReadBytes(File("dual.bmp")), 2 * w, h),
              reference::Convert(reference::Raw(w, h), opt, Frame(l, fb, 1), Frame(rr, fb, 1)));
    opt.delta = true;
    opt.scale = 2.5;
    opt.view = reference::View::kChroma;
    r = Run({"--size", "6x4", "--frame", "2", "--delta", "--delta-scale", "2.5", "--view", "uv",
             "-o", "delta.bmp", "l.raw", "r.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(BmpPixels(ReadBytes(File("delta.bmp")), 2 * w, h),
              reference::Convert(reference::Raw(w, h), opt, Frame(l, fb, 1), Frame(rr, fb, 1)));
    // Identical files: a mid-grey right half.
    r = Run({"--size", "6x4", "--delta", "-o", "same.bmp", "l.raw", "l.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto px = BmpPixels(ReadBytes(File("same.bmp")), 2 * w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = w; x < 2 * w; ++x) {
            const size_t at = (size_t(y) * 2 * w + x) * 3;
            EXPECT_EQ(px[at], 128);
            EXPECT_EQ(px[at + 1], 128);
            EXPECT_EQ(px[at + 2], 128);
        }
    }
}

KorvaLayout Interlaced16x8() {
    return testing_support::KorvaInterlaced(16, 4, 1);
}

TEST_F(Render, KorvaFramesAndDualFromDataStart) {
    const KorvaLayout layout = Interlaced16x8();
    auto header = KorvaHeaderBytes(layout);
    const size_t start = header.size(), fb = 2 * (64 + 64) + 64;
    auto l = header, rr = header;
    for (int i = 0; i < 3; ++i) {
        auto a = testing_support::PatternFrame(fb, i, 3),
             b = testing_support::PatternFrame(fb, i, 4);
        l.insert(l.end(), a.begin(), a.end());
        rr.insert(rr.end(), b.begin(), b.end());
    }
    WriteBytes(File("l.yuv"), l);
    WriteBytes(File("r.yuv"), rr);
    reference::Layout g;
    g.width = 16;
    g.height = 8;
    g.ySize = 64;
    g.yStride = 16;
    g.cSize = 32;
    g.cStride = 8;
    g.korva = true;
    g.multiplexed = true;
    g.frameHeaderRecords = 1;
    g.chromaVerticalFactor = 1;
    reference::Options opt;
    Result r = Run({"--frame", "3", "-o", "k.bmp", "l.yuv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(BmpPixels(ReadBytes(File("k.bmp")), 16, 8),
              reference::Convert(g, opt, Frame(l, fb, 2, start)));
    // The right file is read with the left one's layout, header included.
    opt.dual = true;
    opt.delta = true;
    opt.scale = 0.75;
    r = Run({"--frame", "2", "--delta", "--delta-scale", "0.75", "-o", "kd.bmp", "l.yuv", "r.yuv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(BmpPixels(ReadBytes(File("kd.bmp")), 32, 8),
              reference::Convert(g, opt, Frame(l, fb, 1, start), Frame(rr, fb, 1, start)));
}

TEST_F(Render, InfoForRawAndKorva) {
    WriteBytes(File("s.raw"), testing_support::RawSequence(352, 288, 2, 1, 1000));
    Result r = Run({"--info", "--size", "352x288", "s.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "type=raw\nwidth=352\nheight=288\ny_size=101376\nc_size=25344\ny_stride=352\n"
              "c_stride=176\nframe_bytes=152064\ndata_start=0\nframes=2\n");

    KorvaLayout layout;
    layout.interlaceFactor = 2;
    layout.frameHeaderRecords = 1;
    layout.components = {{288, 720, 1, 1, "Y"}, {288, 720, 1, 2, "U/V"}};
    auto bytes = KorvaHeaderBytes(layout);
    bytes.resize(bytes.size() + (2 * 720 * 288 * 2 + 64) * 3 + 17, 1);
    WriteBytes(File("pal.YUV"), bytes);
    r = Run({"--info", "pal.YUV"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "type=korva\nwidth=720\nheight=576\ny_size=207360\nc_size=103680\ny_stride=720\n"
              "c_stride=360\nframe_bytes=829504\ndata_start=384\nframes=3\n");
}

TEST_F(Render, RefusedKorvaHeaderIsShownAsRaw) {
    KorvaLayout layout = testing_support::KorvaProgressive(8, 4);
    layout.components[1].horizontalFactor = 0;
    auto bytes = KorvaHeaderBytes(layout);
    bytes.resize(size_t(176 * 144 * 3 / 2), 9);
    WriteBytes(File("bad.yuv"), bytes);
    Result r = Run({"--info", "bad.yuv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Invalid korva file (zero sampling factor)\n");
    EXPECT_NE(r.out.find("type=raw\n"), std::string::npos);
    EXPECT_NE(r.out.find("data_start=0\nframes=1\n"), std::string::npos);
}

TEST_F(Render, UnsupportedKorvaLayoutsExitWithStatusOne) {
    KorvaLayout mux = testing_support::KorvaInterlaced(8, 2, 0);
    mux.interlaceFactor = 1;
    KorvaLayout sep = testing_support::KorvaProgressive(8, 4);
    sep.interlaceFactor = 2;
    const std::pair<KorvaLayout, const char*> cases[] = {
        {mux, "KORVA, U/V multiplexed, non-interlaced not supported yet.\n"},
        {sep, "KORVA, U & V not multiplexed, interlaced not supported yet.\n"},
    };
    for (const auto& [layout, message] : cases) {
        SCOPED_TRACE(message);
        auto bytes = KorvaHeaderBytes(layout);
        bytes.resize(bytes.size() + 1000, 0);
        WriteBytes(File("u.yuv"), bytes);
        Result r = Run({"-o", "u.bmp", "u.yuv"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, message);
        EXPECT_FALSE(std::filesystem::exists(File("u.bmp")));
        EXPECT_EQ(Run({"--info", "u.yuv"}).status, 0);  // the header itself is readable
    }
}

TEST_F(Render, UnreadableFilesAndFramesPastTheEnd) {
    WriteBytes(File("two.raw"), testing_support::RawSequence(4, 4, 2, 1, 5));
    WriteBytes(File("one.raw"), testing_support::RawSequence(4, 4, 1, 2));
    Result r = Run({"-o", "o.bmp", "missing.raw"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("missing.raw"), std::string::npos);
    r = Run({"--info", "missing.raw"});
    EXPECT_EQ(r.status, 3);

    r = Run({"--size", "4x4", "--frame", "3", "-o", "o.bmp", "two.raw"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "pixloom-render: two.raw: frame 3 is past the end (2 frames)\n");
    r = Run({"--size", "4x4", "--frame", "2", "-o", "o.bmp", "two.raw", "one.raw"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "pixloom-render: one.raw: frame 2 is past the end (1 frame)\n");
    r = Run({"--size", "4x4", "--frame", "2", "-o", "o.bmp", "two.raw", "missing.raw"});
    EXPECT_EQ(r.status, 3);
    EXPECT_FALSE(std::filesystem::exists(File("o.bmp")));
    r = Run({"--size", "4x4", "--frame", "2", "-o", "o.bmp", "two.raw"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = Run({"--size", "4x4", "-o", "no-such-folder/o.bmp", "two.raw"});
    EXPECT_EQ(r.status, 3);
}

TEST_F(Render, UsageErrors) {
    WriteBytes(File("a.raw"), testing_support::RawSequence(4, 4, 1));
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"a.raw"},
        {"-o", "o.bmp"},
        {"-o", "o.bmp", "a.raw", "a.raw", "a.raw"},
        {"--bogus", "-o", "o.bmp", "a.raw"},
        {"--size", "4", "-o", "o.bmp", "a.raw"},
        {"--size", "4x", "-o", "o.bmp", "a.raw"},
        {"--size", "0x4", "-o", "o.bmp", "a.raw"},
        {"--size", "-4x4", "-o", "o.bmp", "a.raw"},
        {"--size", "20000x4", "-o", "o.bmp", "a.raw"},
        {"--frame", "0", "-o", "o.bmp", "a.raw"},
        {"--frame", "x", "-o", "o.bmp", "a.raw"},
        {"--view", "rgb", "-o", "o.bmp", "a.raw"},
        {"--delta-scale", "abc", "-o", "o.bmp", "a.raw", "a.raw"},
        {"--delta", "-o", "o.bmp", "a.raw"},
        {"-o", "o.bmp", "a.raw", "--size"},
        {"--info"},
        {"--info", "a.raw", "a.raw"},
        {"--info", "-o", "o.bmp", "a.raw"},
        {"--info", "--frame", "1", "a.raw"},
        {"-o", "a.raw", "a.raw"},
        {"-o", "./a.raw", "--size", "4x4", "a.raw"},
    };
    const auto before = ReadBytes(File("a.raw"));
    for (const auto& args : cases) {
        std::string line;
        for (const auto& a : args) {
            line += a + " ";
        }
        SCOPED_TRACE(line);
        Result r = Run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage: pixloom-render"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(File("o.bmp")));
    }
    EXPECT_EQ(ReadBytes(File("a.raw")), before);  // never written
    Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--info"), std::string::npos);
}

TEST_F(Render, SequenceFilesAreNeverWritten) {
    WriteBytes(File("a.yuv"), testing_support::RawSequence(176, 144, 2));
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, File("a.yuv").c_str(), old, 0), 0);
    const auto before = ReadBytes(File("a.yuv"));
    ASSERT_EQ(Run({"--frame", "2", "-o", "o.bmp", "a.yuv", "a.yuv"}).status, 0);
    ASSERT_EQ(Run({"--info", "a.yuv"}).status, 0);
    struct stat st {};
    ASSERT_EQ(::stat(File("a.yuv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(ReadBytes(File("a.yuv")), before);
}

}  // namespace
