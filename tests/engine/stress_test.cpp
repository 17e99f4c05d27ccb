// The engine's two threads under load: a dual sequence plays with loop while the owner thread,
// hundreds of times, changes the display flags under the frame lock and converts, changes the
// delta scale and the frame rate, and ends playback to open other files or change the frame size
// before playing again. The playback thread's sends are answered by this thread throughout.
// Runs under ThreadSanitizer; a deadlock trips the watchdog instead of hanging the run.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/sequence_display.h"
#include "platform/message_box.h"
#include "platform/queued_window.h"
#include "tests/support/sequence_files.h"
#include "tests/support/watchdog.h"

namespace {

using engine::CSequenceDisplay;
using engine::WM_PLAYBACK_DONE;
using engine::WM_REDRAW_FRAME;
using platform::CFile;
using testing_support::TempDir;

// A pair of files to show; the right one may be absent. Every frame's first byte is its index.
struct Session {
    std::string left, right;
    int w, h;
    int frames;  // of the shorter file
};

class Stress : public ::testing::Test {
protected:
    Stress()
        : view_([this](unsigned m, platform::WPARAM, platform::LPARAM) { return OnMessage(m); }) {
        oldBox_ = platform::SetMessageBoxHandler([this](const std::string&) { ++messages; });
        d.mainFrame = &values;
        d.viewWindow = &view_;
        d.stopEvent = platform::CreateEvent();
        d.threadDoneEvent = platform::CreateEvent();
        MakeFiles();
    }
    ~Stress() override {
        d.EndPlayback();
        platform::SetMessageBoxHandler(std::move(oldBox_));
    }

    void MakeFiles() {
        using namespace testing_support;
        WriteBytes(dir.File("a16.raw"), RawSequence(16, 8, 12, 1));
        WriteBytes(dir.File("b16.raw"), RawSequence(16, 8, 9, 2, 7));
        WriteBytes(dir.File("a32.raw"), RawSequence(32, 16, 6, 3));
        WriteBytes(dir.File("c6.raw"), RawSequence(6, 2, 20, 4));
        WriteBytes(dir.File("d6.raw"), RawSequence(6, 2, 15, 7, 5));
        // Pictures large enough to be converted in bands by several threads.
        WriteBytes(dir.File("big1.raw"), RawSequence(768, 704, 4, 8));
        WriteBytes(dir.File("big2.raw"), RawSequence(768, 704, 3, 9));
        // KORVA pairs with one layout each, so one can be shown beside the other.
        auto korva = [&](const char* name, const KorvaLayout& k, size_t frameBytes, int frames,
                         uint32_t seed) {
            auto bytes = KorvaHeaderBytes(k);
            for (int i = 0; i < frames; ++i) {
                auto f = PatternFrame(frameBytes, i, seed);
                bytes.insert(bytes.end(), f.begin(), f.end());
            }
            WriteBytes(dir.File(name), bytes);
        };
        const KorvaLayout small = KorvaProgressive(16, 8);
        korva("k1.yuv", small, 16 * 8 * 3 / 2, 10, 5);
        korva("k2.yuv", small, 16 * 8 * 3 / 2, 7, 6);
        // Interlaced, multiplexed: two fields of 1024 x 288 luma and chroma, one header record.
        const KorvaLayout interlaced = KorvaInterlaced(1024, 288);
        const size_t interlacedBytes = 2 * (1024 * 288 * 2) + 64;
        korva("ki1.yuv", interlaced, interlacedBytes, 3, 10);
        korva("ki2.yuv", interlaced, interlacedBytes, 4, 11);
        sessions = {
            {dir.File("a16.raw"), dir.File("b16.raw"), 16, 8, 9},
            {dir.File("k1.yuv"), dir.File("k2.yuv"), 16, 8, 7},
            {dir.File("a32.raw"), "", 32, 16, 6},
            {dir.File("c6.raw"), dir.File("d6.raw"), 6, 2, 15},
            {dir.File("big1.raw"), dir.File("big2.raw"), 768, 704, 3},
            {dir.File("ki1.yuv"), dir.File("ki2.yuv"), 1024, 576, 3},
            {dir.File("big1.raw"), "", 768, 704, 4},
        };
    }

    platform::LRESULT OnMessage(unsigned message) {
        if (message == WM_REDRAW_FRAME) {
            // As a paint does: the picture and the frames are read under the frame lock.
            std::lock_guard<std::mutex> lock(d.frameLock);
            ++redraws;
            uint32_t sum = 0;
            for (size_t i = 0; i < d.rgbBuffer.size(); i += 61) {
                sum += d.rgbBuffer.data()[i];
            }
            checksum += sum;
            // Only the thread's own redraws: a conversion of this thread may fall between the
            // thread's read and its count.
            if (aligned && !converting) {
                // The counter names the frame in the buffers; both files move in step.
                ++checked;
                const int counter = values.frameCounter.load();
                const int left = d.leftFrame.data()[0] + 1;
                if (counter != left || counter < 1 || counter > current.frames ||
                    (d.dual && d.rightFrame.data()[0] + 1 != left)) {
                    ++mismatches;
                }
            }
        } else if (message == WM_PLAYBACK_DONE) {
            ++ends;
            d.PlaybackEnded();
        }
        return 0;
    }

    // As the document opens a file and then a dual file: geometry, the first frames, counter 1.
    void OpenSession(const Session& s) {
        current = s;
        d.defaultWidth = s.w;
        d.defaultHeight = s.h;
        ASSERT_TRUE(left.Open(s.left));
        d.leftFile = &left;
        d.CloseRightFile();
        d.dual = 0;
        if (!s.right.empty()) {
            auto* right = new CFile;
            ASSERT_TRUE(right->Open(s.right));
            d.rightFile = right;
            d.dual = 1;
        }
        ASSERT_TRUE(d.SetupGeometry());
        aligned = true;
        ShowFirstFrame();
    }

    // As a preset size does: new geometry on the same files, frame 1 again.
    void ChangeSize(int w, int h) {
        d.defaultWidth = w;
        d.defaultHeight = h;
        ASSERT_TRUE(d.SetupGeometry());
        // Raw frames no longer line up with the pattern unless the size is the files' own.
        aligned = d.isKorva == 1 || (w == current.w && h == current.h);
        ShowFirstFrame();
    }

    void ShowFirstFrame() {
        {
            std::lock_guard<std::mutex> lock(d.frameLock);
            left.Seek(int64_t(d.dataStart), CFile::begin);
            d.ReadLeftFrame();
            if (d.dual) {
                d.rightFile->Seek(int64_t(d.dataStart), CFile::begin);
                d.ReadRightFrame();
            }
            values.frameCounter = 1;
        }
        Show();
        d.readyToPlay = 1;
    }

    void Show() {
        converting = true;
        d.ShowCurrentFrame();
        converting = false;
    }

    TempDir dir;
    std::vector<Session> sessions;
    Session current;
    engine::FrameValues values;
    CFile left;
    CSequenceDisplay d;
    // Owned by this thread: the handlers run here.
    int redraws = 0;
    int ends = 0;
    int mismatches = 0;
    int checked = 0;
    int messages = 0;
    uint64_t checksum = 0;
    bool aligned = false;
    bool converting = false;  // inside ShowCurrentFrame

private:
    platform::QueuedMessageWindow view_;
    platform::MessageBoxHandler oldBox_;

protected:
    platform::QueuedMessageWindow& view() { return view_; }
};

TEST_F(Stress, ToggleConvertRateScaleReopenAndResizeWhilePlaying) {
    testing_support::Watchdog watchdog(std::chrono::seconds(600), "stress test");
    std::mt19937 rng(77);
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    // Slow rates leave the thread asleep for up to 10 s; ending playback must wake it.
    const double rates[] = {1e6, 2000.0, 400.0, 120.0, 60.0, 1e6, 0.5, 0.0};
    const double scales[] = {1.0, -2.5, 0.0, 7.75, 1e300, -0.5};

    constexpr int kIterations = 2000;
    constexpr int kCycle = 10;  // every kCycle iterations playback ends and the files change
    int plays = 0, cycles = 0;
    OpenSession(sessions[0]);
    d.loop = 1;
    d.Play();
    ++plays;
    for (int i = 0; i < kIterations; ++i) {
        switch (pick(4)) {
            case 0: {
                {
                    std::lock_guard<std::mutex> lock(d.frameLock);
                    const int mode = pick(3);
                    d.showY = mode != 2;
                    d.showUV = mode != 1;
                    d.deltaMode = pick(2);
                }
                Show();
                break;
            }
            case 1:
                values.deltaScale = scales[pick(6)];
                Show();
                break;
            case 2:
                values.frameRate = rates[pick(8)];
                break;
            case 3:
                // A loop switched off lets the thread end by itself at the end of the file.
                if (pick(8) == 0) {
                    d.ToggleLoop();
                }
                break;
        }
        for (int k = pick(3); k >= 0; --k) {
            view().ProcessOne(1);
        }

        if (i % kCycle == kCycle - 1) {
            ++cycles;
            d.EndPlayback();
            ASSERT_EQ(d.playing, 0);
            ASSERT_EQ(d.readyToPlay, 1);
            ASSERT_FALSE(d.playbackThread.joinable());
            const Session& s = sessions[size_t(pick(int(sessions.size())))];
            switch (pick(3)) {
                case 0:
                    OpenSession(s);
                    break;
                case 1:
                    ChangeSize(8, 4);
                    break;
                case 2:
                    ChangeSize(current.w, current.h);
                    break;
            }
            d.loop = 1;
        }
        if (d.readyToPlay == 1 && d.playing == 0) {
            d.Play();
            ++plays;
        }
    }
    d.EndPlayback();
    EXPECT_EQ(d.playing, 0);
    EXPECT_EQ(d.readyToPlay, 1);
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(messages, 0);
    EXPECT_EQ(ends, plays);
    EXPECT_GT(redraws, kIterations);
    EXPECT_GT(checked, kIterations / 4);
    EXPECT_EQ(cycles, kIterations / kCycle);
    RecordProperty("redraws", redraws);
    RecordProperty("plays", plays);
    std::printf("%d iterations, %d plays, %d redraws (%d checked), %d ends\n", kIterations, plays,
                redraws, checked, ends);
}

// Stop and Play in quick succession, with and without frames in between.
TEST_F(Stress, PlayStopPlay) {
    testing_support::Watchdog watchdog(std::chrono::seconds(300), "stress test");
    OpenSession(sessions[0]);
    values.frameRate = 1e6;
    int plays = 0;
    for (int i = 0; i < 300; ++i) {
        d.Play();
        ++plays;
        if (i % 3 != 0) {
            view().ProcessOne(1);
        }
        if (i % 2 == 0) {
            d.Stop();
        }
        d.EndPlayback();
        ASSERT_EQ(d.readyToPlay, 1);
        ASSERT_EQ(d.playing, 0);
    }
    EXPECT_EQ(ends, plays);
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
