// Read and convert times for the frame trace: published by the playback thread and the
// transport commands before the frame is handed to the view, taken by the view while it draws,
// and left alone while the trace is off.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/sequence_display.h"
#include "platform/queued_window.h"
#include "tests/support/sequence_files.h"

namespace {

using engine::CSequenceDisplay;
using engine::WM_PLAYBACK_DONE;
using engine::WM_REDRAW_FRAME;

constexpr int kW = 48, kH = 32, kFrames = 6;

// What the view took for one draw.
struct Taken {
    int frame;
    int64_t read;
    int64_t convert;
};

class FrameTimes : public ::testing::Test {
protected:
    FrameTimes()
        : view_([this](unsigned m, platform::WPARAM, platform::LPARAM) { return OnMessage(m); }) {
        const std::string path = dir_.File("seq.yuv");
        testing_support::WriteBytes(path, testing_support::RawSequence(kW, kH, kFrames));
        d.defaultWidth = kW;
        d.defaultHeight = kH;
        EXPECT_TRUE(left_.Open(path));
        d.leftFile = &left_;
        EXPECT_TRUE(d.SetupGeometry());
        d.ReadLeftFrame();
        d.ConvertFrame();
        d.viewWindow = &view_;
        d.stopEvent = platform::CreateEvent();
        d.threadDoneEvent = platform::CreateEvent();
        d.Values().frameRate = 1000.0;
        d.loop = 0;
        d.readyToPlay = 1;
    }
    ~FrameTimes() override { d.EndPlayback(); }

    platform::LRESULT OnMessage(unsigned message) {
        if (message == WM_REDRAW_FRAME) {
            // As the view does while it draws the frame handed over.
            taken.push_back({d.Values().frameCounter.load(), d.frameTimes.readMicros.exchange(-1),
                             d.frameTimes.convertMicros.exchange(-1)});
        } else if (message == WM_PLAYBACK_DONE) {
            d.readyToPlay = 1;
            d.PlaybackEnded();
            done = true;
        }
        return 0;
    }

    void PlayToEnd() {
        done = false;
        d.Play();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done && std::chrono::steady_clock::now() < end) {
            view_.ProcessOne(5);
        }
        ASSERT_TRUE(done);
        d.EndPlayback();
    }

    testing_support::TempDir dir_;
    platform::CFile left_;
    platform::QueuedMessageWindow view_;
    CSequenceDisplay d;
    std::vector<Taken> taken;
    bool done = false;
};

TEST_F(FrameTimes, EveryPlayedFrameCarriesItsTimes) {
    d.frameTimes.enabled = true;
    PlayToEnd();
    ASSERT_EQ(taken.size(), size_t(kFrames - 1));
    for (size_t i = 0; i < taken.size(); ++i) {
        EXPECT_EQ(taken[i].frame, int(i) + 2);
        EXPECT_GE(taken[i].read, 0) << taken[i].frame;
        EXPECT_GE(taken[i].convert, 0) << taken[i].frame;
    }
}

TEST_F(FrameTimes, StepsAndRewindCarryTimesAndRepaintsNone) {
    d.frameTimes.enabled = true;
    d.StepForward();
    d.ShowCurrentFrame();  // a view toggle: nothing read
    d.StepBackward();
    d.StepBackward();  // on frame 1: nothing shown
    d.Rewind();
    ASSERT_EQ(taken.size(), 4u);
    EXPECT_GE(taken[0].read, 0);
    EXPECT_GE(taken[0].convert, 0);
    EXPECT_EQ(taken[1].read, -1);
    EXPECT_EQ(taken[1].convert, -1);
    EXPECT_GE(taken[2].read, 0);
    EXPECT_GE(taken[3].read, 0);
    EXPECT_GE(taken[3].convert, 0);
    EXPECT_EQ(taken[3].frame, 1);
}

TEST_F(FrameTimes, NothingIsMeasuredWhileTheTraceIsOff) {
    PlayToEnd();
    d.Rewind();
    d.StepForward();
    ASSERT_EQ(taken.size(), size_t(kFrames - 1 + 2));
    for (const Taken& t : taken) {
        EXPECT_EQ(t.read, -1);
        EXPECT_EQ(t.convert, -1);
    }
}

}  // namespace
