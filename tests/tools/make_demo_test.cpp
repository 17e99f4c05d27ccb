// pixloom-make-demo: the raw layout the viewer reads, frames that all differ (the end-to-end
// tests tell frames apart by their pictures), and its exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/support/sequence_files.h"

namespace {

int RunDemo(const std::string& args) {
    const std::string command = std::string(PIXLOOM_MAKE_DEMO) + " " + args + " 2>/dev/null";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Frames(const std::vector<uint8_t>& bytes, size_t frameBytes) {
    std::vector<std::string> frames;
    for (size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes) {
        frames.emplace_back(reinterpret_cast<const char*>(bytes.data()) + at, frameBytes);
    }
    return frames;
}

TEST(MakeDemoTest, WritesWholeRawFramesThatAllDiffer) {
    struct Case {
        int w, h, frames;
    };
    // The default (176 x 144, 75 frames), odd sizes, and the sizes the end-to-end tests use.
    for (const Case c : {Case{176, 144, 75}, Case{90, 72, 12}, Case{97, 61, 5}, Case{2, 2, 3}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        testing_support::TempDir dir;
        const std::string out = dir.File("demo.yuv");
        const std::string size = std::to_string(c.w) + "x" + std::to_string(c.h);
        const std::string args =
            c.w == 176 && c.h == 144 && c.frames == 75
                ? out
                : "--size " + size + " --frames " + std::to_string(c.frames) + " " + out;
        ASSERT_EQ(RunDemo(args), 0);
        // Y plane, then U and V of (w x h) / 4 bytes each, as the viewer derives raw frames.
        const size_t frameBytes = size_t(c.w) * c.h + 2 * (size_t(c.w) * c.h / 4);
        const std::vector<uint8_t> bytes = ReadAll(out);
        ASSERT_EQ(bytes.size(), frameBytes * size_t(c.frames));
        const auto frames = Frames(bytes, frameBytes);
        const std::set<std::string> distinct(frames.begin(), frames.end());
        EXPECT_EQ(distinct.size(), frames.size());
    }
}

TEST(MakeDemoTest, VariantsGiveOtherSequences) {
    testing_support::TempDir dir;
    ASSERT_EQ(RunDemo("--size 88x72 --frames 2 --variant 0 " + dir.File("a")), 0);
    ASSERT_EQ(RunDemo("--size 88x72 --frames 2 --variant 1 " + dir.File("b")), 0);
    ASSERT_EQ(RunDemo("--frames 2 --size 88x72 " + dir.File("c")), 0);
    const auto a = ReadAll(dir.File("a")), b = ReadAll(dir.File("b")), c = ReadAll(dir.File("c"));
    ASSERT_EQ(a.size(), b.size());
    EXPECT_NE(a, b);
    EXPECT_EQ(a, c) << "variant 0 is the default";
}

TEST(MakeDemoTest, UsageAndWriteErrors) {
    testing_support::TempDir dir;
    const std::string out = dir.File("x.yuv");
    for (const std::string& args :
         {std::string(""), "--size 10 " + out, "--size 0x10 " + out, "--frames 0 " + out,
          "--frames 2x " + out, "--variant -1 " + out, "--bogus " + out, out + " " + out,
          std::string("--size")}) {
        EXPECT_EQ(RunDemo(args), 2) << args;
    }
    EXPECT_EQ(RunDemo(dir.File("missing/dir/x.yuv")), 3);
}

}  // namespace
