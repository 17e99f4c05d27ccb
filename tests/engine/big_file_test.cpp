// A 4K sequence longer than 4 GiB: positions past 2^32 when stepping, stepping back and playing.
// The file is sparse: only the frames around the 4 GiB boundary and the last frame hold data.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/sequence_display.h"
#include "platform/queued_window.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/sequence_files.h"

namespace {

using engine::CSequenceDisplay;
using engine::WM_PLAYBACK_DONE;
using engine::WM_REDRAW_FRAME;
using platform::CFile;

constexpr int kW = 3840, kH = 2160, kFrames = 400;
constexpr uint64_t kFrame = uint64_t(kW) * kH * 3 / 2;  // 12441600
constexpr uint64_t k4GiB = uint64_t(1) << 32;
// Frame 345 (from 0) straddles the 4 GiB boundary.
constexpr int kStraddling = int(k4GiB / kFrame);
constexpr int kFirstWritten = kStraddling - 3, kLastWritten = kStraddling + 3;

static_assert(kFrame * kFrames > k4GiB);
static_assert(kStraddling * kFrame < k4GiB && (kStraddling + 1) * kFrame > k4GiB);

bool Written(int n) {
    return (n >= kFirstWritten && n <= kLastWritten) || n == kFrames - 1;
}

// The bytes of frame n (from 0): a cheap pattern that differs in every frame; zeros where the
// file was left sparse.
std::vector<uint8_t> FrameBytes(int n) {
    std::vector<uint8_t> f(kFrame, 0);
    if (!Written(n)) {
        return f;
    }
    uint32_t x = 0x9e3779b9u * uint32_t(n + 1);
    for (auto& b : f) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = uint8_t(x >> 24);
    }
    return f;
}

uint64_t Hash(const uint8_t* p, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) {
        h = (h ^ p[i]) * 1099511628211ull;
    }
    return h;
}

// Hashes of every frame, by number; unwritten frames share the hash of zeros.
uint64_t ExpectedHash(int n) {
    static std::vector<uint64_t> hashes(kFrames, 0);
    static const uint64_t zeros = [] {
        const std::vector<uint8_t> z(kFrame, 0);
        return Hash(z.data(), z.size());
    }();
    if (!Written(n)) {
        return zeros;
    }
    if (hashes[size_t(n)] == 0) {
        const auto f = FrameBytes(n);
        hashes[size_t(n)] = Hash(f.data(), f.size());
    }
    return hashes[size_t(n)];
}

class BigFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testing_support::TempDir;
        path_ = dir_->File("big4k.yuv");
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            return;
        }
        bool ok = ::ftruncate(fd, off_t(kFrame * kFrames)) == 0;
        for (int n = 0; ok && n < kFrames; ++n) {
            if (Written(n)) {
                const auto f = FrameBytes(n);
                ok = ::pwrite(fd, f.data(), f.size(), off_t(kFrame * n)) == ssize_t(f.size());
            }
        }
        struct stat st {};
        ok = ok && ::fstat(fd, &st) == 0 && uint64_t(st.st_size) == kFrame * kFrames;
        ::close(fd);
        // Refused, or not sparse (more than the written frames allocated): skip.
        usable_ = ok && uint64_t(st.st_blocks) * 512 < 64 * kFrame;
        if (!usable_) {
            ::unlink(path_.c_str());
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    BigFile()
        : view_([this](unsigned m, platform::WPARAM, platform::LPARAM) { return OnMessage(m); }) {
        d.viewWindow = &view_;
        d.stopEvent = platform::CreateEvent();
        d.threadDoneEvent = platform::CreateEvent();
        d.Values().frameRate = 1e6;  // a period of 0 ms
    }
    ~BigFile() override { d.EndPlayback(); }

    void SetUp() override {
        if (!usable_) {
            GTEST_SKIP() << "the file system refuses a sparse file of " << kFrame * kFrames
                         << " bytes";
        }
        d.defaultWidth = kW;
        d.defaultHeight = kH;
        ASSERT_TRUE(left.Open(path_));
        d.leftFile = &left;
        ASSERT_TRUE(d.SetupGeometry());
        ASSERT_EQ(d.isKorva, 0);
        ASSERT_EQ(uint64_t(d.frameBytes), kFrame);
        d.readyToPlay = 1;
    }

    platform::LRESULT OnMessage(unsigned message) {
        if (message == WM_REDRAW_FRAME) {
            std::lock_guard<std::mutex> lock(d.frameLock);
            redraws.push_back({d.Values().frameCounter.load(),
                               Hash(d.leftFrame.data(), d.leftFrame.size()), left.GetPosition()});
            if (stopAfter > 0 && redraws.size() == size_t(stopAfter)) {
                d.Stop();
            }
        } else if (message == WM_PLAYBACK_DONE) {
            ++done;
            d.PlaybackEnded();
        }
        return 0;
    }

    // Shows frame n (from 0) as if the user had stepped to it: the file stands after it.
    void ShowFrame(int n) {
        left.Seek(int64_t(kFrame * n), CFile::begin);
        d.ReadLeftFrame();
        if (d.dual) {
            d.rightFile->Seek(int64_t(kFrame * n), CFile::begin);
            d.ReadRightFrame();
        }
        d.Values().frameCounter = n + 1;
        d.ConvertFrame();
    }

    // The frame on screen is frame n (from 0): counter, position, buffer and picture agree.
    void ExpectShowing(int n) {
        SCOPED_TRACE("frame " + std::to_string(n));
        EXPECT_EQ(d.Values().frameCounter, n + 1);
        EXPECT_EQ(left.GetPosition(), kFrame * uint64_t(n + 1));
        EXPECT_EQ(Hash(d.leftFrame.data(), d.leftFrame.size()), ExpectedHash(n));
        // Luma only: the bottom-left pixel is the first sample of the last Y line, the top-left
        // pixel the first sample of the frame.
        const auto f = FrameBytes(n);
        const uint8_t* bottom = d.rgbBuffer.data();
        const uint8_t* top = d.rgbBuffer.data() + size_t(kH - 1) * kW * 3 * (d.dual ? 2 : 1);
        EXPECT_EQ(bottom[0], f[size_t(kH - 1) * kW]);
        EXPECT_EQ(top[0], f[0]);
        if (d.dual) {
            EXPECT_EQ(d.rightFile->GetPosition(), kFrame * uint64_t(n + 1));
            EXPECT_EQ(Hash(d.rightFrame.data(), d.rightFrame.size()), ExpectedHash(n));
        }
    }

    void PlayToEnd() {
        const int before = done;
        d.Play();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (done == before && std::chrono::steady_clock::now() < end) {
            view_.ProcessOne(5);
        }
        ASSERT_GT(done, before) << "playback did not end";
        d.EndPlayback();
    }

    struct Redraw {
        int counter;
        uint64_t hash;
        uint64_t position;
    };

    static inline testing_support::TempDir* dir_ = nullptr;
    static inline std::string path_;
    static inline bool usable_ = false;

    engine_test::Recorder rec;
    CFile left;
    CSequenceDisplay d;
    std::vector<Redraw> redraws;
    int stopAfter = 0;
    int done = 0;

private:
    platform::QueuedMessageWindow view_;
};

TEST_F(BigFile, StepsForwardAndBackAcrossFourGiB) {
    d.showUV = 0;
    ShowFrame(kFirstWritten);
    ExpectShowing(kFirstWritten);
    for (int n = kFirstWritten + 1; n <= kLastWritten; ++n) {
        d.StepForward();
        ExpectShowing(n);
    }
    EXPECT_GT(left.GetPosition(), k4GiB);
    for (int n = kLastWritten - 1; n >= kFirstWritten; --n) {
        d.StepBackward();
        ExpectShowing(n);
    }
    EXPECT_LT(left.GetPosition(), k4GiB);
    EXPECT_TRUE(rec.messages.empty());
}

TEST_F(BigFile, LastFrameAndTheEnd) {
    d.showUV = 0;
    ShowFrame(kFrames - 2);
    d.StepForward();
    ExpectShowing(kFrames - 1);
    d.StepForward();  // the end: nothing moves
    ExpectShowing(kFrames - 1);
    d.Rewind();
    ExpectShowing(0);
}

TEST_F(BigFile, DualStepsAcrossFourGiB) {
    auto* right = new CFile;
    ASSERT_TRUE(right->Open(path_));
    d.rightFile = right;
    d.dual = 1;
    ASSERT_TRUE(d.SetupGeometry());
    d.showUV = 0;
    ShowFrame(kStraddling - 1);
    d.StepForward();
    ExpectShowing(kStraddling);
    d.StepForward();
    ExpectShowing(kStraddling + 1);
    d.StepBackward();
    ExpectShowing(kStraddling);
}

TEST_F(BigFile, PlaysAcrossFourGiB) {
    ShowFrame(kFirstWritten);
    d.loop = 0;
    stopAfter = kLastWritten - kFirstWritten;
    PlayToEnd();
    ASSERT_EQ(redraws.size(), size_t(stopAfter));
    for (size_t i = 0; i < redraws.size(); ++i) {
        const int n = kFirstWritten + 1 + int(i);
        EXPECT_EQ(redraws[i].counter, n + 1);
        EXPECT_EQ(redraws[i].hash, ExpectedHash(n)) << "frame " << n;
        EXPECT_EQ(redraws[i].position, kFrame * uint64_t(n + 1));
    }
    EXPECT_EQ(left.GetPosition(), kFrame * uint64_t(kLastWritten + 1));
}

// With loop, the last frame is followed by frame 1 from byte 0.
TEST_F(BigFile, LoopRestartsFromBeyondFourGiB) {
    ShowFrame(kFrames - 3);
    d.loop = 1;
    stopAfter = 4;
    PlayToEnd();
    ASSERT_EQ(redraws.size(), 4u);
    const int expected[] = {kFrames - 2, kFrames - 1, 0, 1};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(redraws[i].counter, expected[i] + 1) << i;
        EXPECT_EQ(redraws[i].hash, ExpectedHash(expected[i])) << i;
        EXPECT_EQ(redraws[i].position, kFrame * uint64_t(expected[i] + 1)) << i;
    }
}

}  // namespace
