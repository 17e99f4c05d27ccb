#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/sequence_display.h"
#include "platform/message_box.h"
#include "platform/queued_window.h"
#include "tests/support/fake_clock.h"
#include "tests/support/sequence_files.h"
#include "tests/support/watchdog.h"

namespace {

using engine::CSequenceDisplay;
using engine::WM_PLAYBACK_DONE;
using engine::WM_REDRAW_FRAME;
using platform::CFile;
using testing_support::FakeClock;
using testing_support::TempDir;

// Only a hang trips these; nothing here is a timing requirement.
constexpr auto kPatience = std::chrono::seconds(30);
constexpr auto kWatchdog = std::chrono::seconds(90);

uint64_t Digest(const uint8_t* p, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) {
        h = (h ^ p[i]) * 1099511628211ull;
    }
    return h;
}

uint64_t PictureDigest(const CSequenceDisplay& d) {
    return Digest(d.rgbBuffer.data(), d.rgbBuffer.size());
}

// The pictures of chosen frames, made by a second engine on the same files: tells which frames
// a picture shows.
class Reference {
public:
    void Open(const std::string& leftPath, int w, int h, const std::string& rightPath) {
        d_.defaultWidth = w;
        d_.defaultHeight = h;
        ASSERT_TRUE(left_.Open(leftPath));
        d_.leftFile = &left_;
        if (!rightPath.empty()) {
            d_.rightFile = new CFile;
            ASSERT_TRUE(d_.rightFile->Open(rightPath));
            d_.dual = 1;
        }
        ASSERT_TRUE(d_.SetupGeometry());
    }
    // Frames are numbered from 1; right 0 for a single sequence.
    uint64_t Picture(int left, int right) {
        d_.leftFile->Seek(int64_t(d_.dataStart) + int64_t(left - 1) * d_.frameBytes, CFile::begin);
        d_.ReadLeftFrame();
        if (d_.dual) {
            d_.rightFile->Seek(int64_t(d_.dataStart) + int64_t(right - 1) * d_.frameBytes,
                               CFile::begin);
            d_.ReadRightFrame();
        }
        d_.ConvertFrame();
        return PictureDigest(d_);
    }

private:
    CFile left_;
    CSequenceDisplay d_;
};

// One redraw as the view saw it. Frames are numbered from 1, read from the first byte of each
// frame buffer (the generators put the frame's index there).
struct Shown {
    int counter;
    int left;
    int right;  // 0 for a single sequence
    uint64_t picture;
    uint32_t tick;
};

class Playback : public ::testing::Test {
protected:
    Playback()
        : view_([this](unsigned m, platform::WPARAM, platform::LPARAM) { return OnMessage(m); }) {
        d.clock = &clock;
        d.viewWindow = &view_;
        d.stopEvent = platform::CreateEvent();
        d.threadDoneEvent = platform::CreateEvent();
        d.Values().frameRate = 25.0;
    }
    // From the window's own thread EndPlayback answers the thread's messages, so a failed test
    // never leaves a thread waiting on this one.
    ~Playback() override { d.EndPlayback(); }

    platform::LRESULT OnMessage(unsigned message) {
        if (message == WM_REDRAW_FRAME) {
            // As a paint does: the picture is read under the frame lock.
            std::lock_guard<std::mutex> lock(d.frameLock);
            shown.push_back({d.Values().frameCounter.load(), d.leftFrame.data()[0] + 1,
                             d.dual ? d.rightFrame.data()[0] + 1 : 0, PictureDigest(d),
                             clock.GetTickCount()});
        } else if (message == WM_PLAYBACK_DONE) {
            ++done;
            d.readyToPlay = 1;
            d.PlaybackEnded();
        }
        if (onMessage) {
            onMessage(message);
        }
        return 0;
    }

    std::string WriteRaw(const std::string& name, int frames, size_t extra = 0, uint32_t seed = 1) {
        const std::string path = dir.File(name);
        testing_support::WriteBytes(path,
                                    testing_support::RawSequence(kW, kH, frames, seed, extra));
        return path;
    }

    // Opens as the document does: geometry, the first frame of each file, counter 1, ready.
    void Open(const std::string& leftPath, const std::string& rightPath = "", int w = kW,
              int h = kH) {
        d.defaultWidth = w;
        d.defaultHeight = h;
        ASSERT_TRUE(left.Open(leftPath));
        d.leftFile = &left;
        if (!rightPath.empty()) {
            d.rightFile = new CFile;
            ASSERT_TRUE(d.rightFile->Open(rightPath));
            d.dual = 1;
        }
        ASSERT_TRUE(d.SetupGeometry());
        d.ReadLeftFrame();
        if (d.dual) {
            d.rightFile->Seek(int64_t(d.dataStart), CFile::begin);
            d.ReadRightFrame();
        }
        d.Values().frameCounter = 1;
        d.ConvertFrame();
        d.readyToPlay = 1;
        ref.Open(leftPath, w, h, rightPath);
    }

    // Answers the thread's messages until pred holds; false when it never does.
    bool Pump(const std::function<bool()>& pred) {
        const auto end = std::chrono::steady_clock::now() + kPatience;
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            view_.ProcessOne(5);
        }
        return true;
    }

    // Plays until the thread reports its end, and waits for the thread to finish.
    void PlayToEnd() {
        const int before = done;
        d.Play();
        ASSERT_TRUE(Pump([&] { return done > before; }));
        d.EndPlayback();
    }

    void StopAfter(size_t frames) {
        onMessage = [this, frames](unsigned m) {
            if (m == WM_REDRAW_FRAME && shown.size() == frames) {
                d.Stop();
            }
        };
    }

    // "counter:left" or "counter:left/right" for every redraw, in order.
    std::vector<std::string> Trace(size_t from = 0) const {
        std::vector<std::string> t;
        for (size_t i = from; i < shown.size(); ++i) {
            const Shown& s = shown[i];
            std::string e = std::to_string(s.counter);
            e += ':';
            e += std::to_string(s.left);
            if (s.right != 0) {
                e += '/';
                e += std::to_string(s.right);
            }
            t.push_back(e);
        }
        return t;
    }

    static std::vector<std::string> Frames(int first, int last, int counterFirst = -1) {
        std::vector<std::string> t;
        int c = counterFirst < 0 ? first : counterFirst;
        for (int k = first; k <= last; ++k, ++c) {
            t.push_back(std::to_string(c) + ":" + std::to_string(k));
        }
        return t;
    }

    static std::vector<std::string> Pairs(std::vector<std::pair<int, int>> frames) {
        std::vector<std::string> t;
        for (auto [c, k] : frames) {
            t.push_back(std::to_string(c) + ":" + std::to_string(k) + "/" + std::to_string(k));
        }
        return t;
    }

    // Every redraw showed the picture of the frames in the buffers.
    void ExpectPicturesMatch() {
        for (const Shown& s : shown) {
            EXPECT_EQ(s.picture, ref.Picture(s.left, s.right))
                << "counter " << s.counter << " frame " << s.left;
        }
    }

    uint64_t At(int frame) const { return d.dataStart + uint64_t(frame) * d.frameBytes; }
    uint64_t RightPos() const { return d.rightFile->GetPosition(); }

    // The picture of the frames in the buffers now, converted afresh.
    uint64_t CurrentPicture() {
        const size_t before = shown.size();
        d.ShowCurrentFrame();
        EXPECT_EQ(shown.size(), before + 1);
        const uint64_t p = shown.back().picture;
        shown.pop_back();
        return p;
    }

    static constexpr int kW = 16;
    static constexpr int kH = 8;
    static constexpr uint32_t kFrameBytes = kW * kH * 3 / 2;

    testing_support::Watchdog watchdog_{kWatchdog, "playback test"};
    TempDir dir;
    FakeClock clock;
    platform::QueuedMessageWindow view_;
    CFile left;
    Reference ref;
    CSequenceDisplay d;
    std::vector<Shown> shown;
    int done = 0;
    std::function<void(unsigned)> onMessage;
};

TEST_F(Playback, WithoutLoopPlaysToTheLastFrameAndStaysThere) {
    Open(WriteRaw("a.raw", 10));
    d.loop = 0;
    PlayToEnd();
    EXPECT_EQ(Trace(), Frames(2, 10));
    ExpectPicturesMatch();
    EXPECT_EQ(done, 1);
    EXPECT_EQ(d.Values().frameCounter, 10);
    EXPECT_EQ(left.GetPosition(), At(10));
    EXPECT_EQ(d.readyToPlay, 1);
    EXPECT_EQ(d.playing, 0);

    shown.clear();
    d.StepBackward();
    EXPECT_EQ(Trace(), Frames(9, 9));
    ExpectPicturesMatch();
    EXPECT_EQ(left.GetPosition(), At(9));
}

TEST_F(Playback, WithLoopTheFirstFrameFollowsTheLastAsNumberOne) {
    Open(WriteRaw("a.raw", 10));
    StopAfter(12);
    PlayToEnd();
    std::vector<std::string> expected = Frames(2, 10);
    for (auto f : Frames(1, 3)) {
        expected.push_back(f);
    }
    EXPECT_EQ(Trace(), expected);
    ExpectPicturesMatch();
    // Stopped with frame 3 on screen: the counter and the file agree with the picture.
    EXPECT_EQ(d.Values().frameCounter, 3);
    EXPECT_EQ(left.GetPosition(), At(3));
}

TEST_F(Playback, PlayAtTheEndWithoutLoopEndsWithoutDrawing) {
    Open(WriteRaw("a.raw", 10));
    d.loop = 0;
    PlayToEnd();
    shown.clear();
    PlayToEnd();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(done, 2);
    EXPECT_EQ(d.Values().frameCounter, 10);
    EXPECT_EQ(left.GetPosition(), At(10));
    EXPECT_EQ(d.readyToPlay, 1);
}

TEST_F(Playback, PlayAtTheEndWithLoopStartsOver) {
    Open(WriteRaw("a.raw", 10));
    d.loop = 0;
    PlayToEnd();
    shown.clear();
    d.ToggleLoop();
    StopAfter(2);
    PlayToEnd();
    EXPECT_EQ(Trace(), Frames(1, 2));
    ExpectPicturesMatch();
}

TEST_F(Playback, PartialLastFrameIsNeverShown) {
    Open(WriteRaw("a.raw", 10, kFrameBytes / 2));
    d.loop = 0;
    PlayToEnd();
    EXPECT_EQ(Trace(), Frames(2, 10));
    EXPECT_EQ(left.GetPosition(), At(10));
    EXPECT_EQ(d.Values().frameCounter, 10);

    shown.clear();
    d.ToggleLoop();
    StopAfter(3);
    PlayToEnd();
    EXPECT_EQ(Trace(), Frames(1, 3));
    ExpectPicturesMatch();
}

// After any end, the frame buffers hold the frames on screen again, so that a view toggle
// converts the picture that is shown rather than the bytes of the read that met the end.
TEST_F(Playback, BuffersHoldTheShownFrameAfterAnEnd) {
    Open(WriteRaw("a.raw", 10, kFrameBytes / 2));
    d.loop = 0;
    PlayToEnd();
    EXPECT_EQ(CurrentPicture(), ref.Picture(10, 0));
    d.StepForward();
    EXPECT_EQ(left.GetPosition(), At(10));
    EXPECT_EQ(CurrentPicture(), ref.Picture(10, 0));
}

TEST_F(Playback, DualEndsWithTheShorterRightFile) {
    // The right file has 6 whole frames and a partial one: each file goes back by its own count.
    Open(WriteRaw("l.raw", 10), WriteRaw("r.raw", 6, kFrameBytes / 3, 2));
    d.loop = 0;
    PlayToEnd();
    EXPECT_EQ(Trace(), Pairs({{2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}}));
    ExpectPicturesMatch();
    EXPECT_EQ(d.Values().frameCounter, 6);
    EXPECT_EQ(left.GetPosition(), At(6));
    EXPECT_EQ(RightPos(), At(6));
    EXPECT_EQ(CurrentPicture(), ref.Picture(6, 6));

    shown.clear();
    d.StepBackward();
    EXPECT_EQ(Trace(), Pairs({{5, 5}}));
    ExpectPicturesMatch();
}

TEST_F(Playback, DualWithLoopRestartsBothFiles) {
    Open(WriteRaw("l.raw", 10), WriteRaw("r.raw", 6, kFrameBytes / 3, 2));
    StopAfter(7);
    PlayToEnd();
    EXPECT_EQ(Trace(), Pairs({{2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {1, 1}, {2, 2}}));
    ExpectPicturesMatch();
    EXPECT_EQ(left.GetPosition(), At(2));
    EXPECT_EQ(RightPos(), At(2));
}

// A sequence that no longer has a whole frame (another program cut the file) ends playback at a
// loop restart; nothing moves: counter, positions and buffers stay with the frame on screen.
TEST_F(Playback, FailedLoopRestartLeavesTheShownFrame) {
    const std::string path = WriteRaw("a.raw", 10);
    Open(path);
    for (int i = 0; i < 4; ++i) {
        d.StepForward();
    }
    std::filesystem::resize_file(path, kFrameBytes / 2);
    shown.clear();
    PlayToEnd();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(done, 1);
    EXPECT_EQ(d.Values().frameCounter, 5);
    EXPECT_EQ(left.GetPosition(), At(5));
    EXPECT_EQ(d.readyToPlay, 1);
}

TEST_F(Playback, DualFailedLoopRestartLeavesTheShownFrame) {
    const std::string rightPath = WriteRaw("r.raw", 10, 0, 2);
    Open(WriteRaw("l.raw", 10), rightPath);
    for (int i = 0; i < 4; ++i) {
        d.StepForward();
    }
    std::filesystem::resize_file(rightPath, kFrameBytes / 2);
    shown.clear();
    PlayToEnd();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(d.Values().frameCounter, 5);
    EXPECT_EQ(left.GetPosition(), At(5));
    EXPECT_EQ(RightPos(), At(5));
    // The left half still shows frame 5 when converted again.
    d.ShowCurrentFrame();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().left, 5);
}

// A KORVA file whose header is longer than two frames.
std::string WriteKorva(const TempDir& dir, int frames, int w, int h, uint32_t* frameBytes) {
    const auto layout = testing_support::KorvaProgressive(w, h);
    std::vector<uint8_t> bytes = testing_support::KorvaHeaderBytes(layout);
    const size_t fb = size_t(w) * h * 3 / 2;
    for (int i = 0; i < frames; ++i) {
        auto f = testing_support::PatternFrame(fb, i, 3);
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    *frameBytes = uint32_t(fb);
    const std::string path = dir.File("k.yuv");
    testing_support::WriteBytes(path, bytes);
    return path;
}

TEST_F(Playback, KorvaLoopRestartsAtTheFirstFrameNotTheHeader) {
    uint32_t fb = 0;
    Open(WriteKorva(dir, 4, 8, 8, &fb), "", 8, 8);
    ASSERT_EQ(d.isKorva, 1);
    ASSERT_EQ(uint32_t(d.frameBytes), fb);
    ASSERT_GE(d.dataStart, 2 * uint64_t(fb));
    StopAfter(5);
    PlayToEnd();
    EXPECT_EQ(Trace(), (std::vector<std::string>{"2:2", "3:3", "4:4", "1:1", "2:2"}));
    ExpectPicturesMatch();
    EXPECT_EQ(left.GetPosition(), At(2));
}

TEST_F(Playback, KorvaStepBackwardNeverShowsTheHeader) {
    uint32_t fb = 0;
    Open(WriteKorva(dir, 4, 8, 8, &fb), "", 8, 8);
    ASSERT_GE(d.dataStart, 2 * uint64_t(fb));
    const uint64_t before = PictureDigest(d);
    d.StepBackward();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(left.GetPosition(), At(1));
    EXPECT_EQ(PictureDigest(d), before);

    d.StepForward();
    d.StepBackward();
    d.StepBackward();
    EXPECT_EQ(Trace(), (std::vector<std::string>{"2:2", "1:1"}));
    ExpectPicturesMatch();
    EXPECT_EQ(left.GetPosition(), At(1));
}

// Steps that meet either end change nothing: no redraw, same picture, counter and positions.
struct EndStep {
    const char* name;
    int leftFrames, rightFrames;  // rightFrames 0: single sequence
    int forwardSteps;             // from frame 1, to reach the end or stay at the start
    bool stepForward;
};

void PrintTo(const EndStep& c, std::ostream* os) {
    *os << c.name;
}

class PlaybackEndSteps : public Playback, public ::testing::WithParamInterface<EndStep> {};

TEST_P(PlaybackEndSteps, ChangeNothing) {
    const EndStep& e = GetParam();
    if (e.rightFrames > 0) {
        Open(WriteRaw("l.raw", e.leftFrames), WriteRaw("r.raw", e.rightFrames, 0, 2));
    } else {
        Open(WriteRaw("l.raw", e.leftFrames));
    }
    for (int i = 0; i < e.forwardSteps; ++i) {
        d.StepForward();
    }
    shown.clear();
    const int counter = d.Values().frameCounter;
    const uint64_t leftPos = left.GetPosition();
    const uint64_t rightPos = d.dual ? RightPos() : 0;
    const uint64_t picture = PictureDigest(d);
    if (e.stepForward) {
        d.StepForward();
    } else {
        d.StepBackward();
    }
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(d.Values().frameCounter, counter);
    EXPECT_EQ(left.GetPosition(), leftPos);
    if (d.dual) {
        EXPECT_EQ(RightPos(), rightPos);
    }
    EXPECT_EQ(PictureDigest(d), picture);
    // The buffers still hold the frames on screen.
    EXPECT_EQ(CurrentPicture(), picture);
}

INSTANTIATE_TEST_SUITE_P(Steps, PlaybackEndSteps,
                         ::testing::Values(EndStep{"ForwardOnLast", 5, 0, 4, true},
                                           EndStep{"BackwardOnFirst", 5, 0, 0, false},
                                           EndStep{"DualForwardOnLastOfShorterRight", 5, 3, 2,
                                                   true},
                                           EndStep{"DualForwardOnLastOfShorterLeft", 3, 5, 2, true},
                                           EndStep{"DualBackwardOnFirst", 5, 3, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Playback, TransportWaitsWhilePlaying) {
    Open(WriteRaw("a.raw", 10));
    clock.HoldSleeps(true);
    d.Play();
    ASSERT_TRUE(Pump([&] { return shown.size() == 1; }));
    ASSERT_TRUE(clock.WaitUntilSleeping(kPatience));
    d.Rewind();
    d.StepForward();
    d.StepBackward();
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(d.Values().frameCounter, 2);
    d.Stop();
    clock.HoldSleeps(false);
    ASSERT_TRUE(Pump([&] { return done == 1; }));
}

// A stop that comes while the thread sleeps before a frame: that frame is still drawn, then
// playback ends at once, however long the sleep would have been.
struct SleepCase {
    const char* name;
    double rate;
    uint32_t period;
};

void PrintTo(const SleepCase& c, std::ostream* os) {
    *os << c.name;
}

class PlaybackStopDuringSleep : public Playback, public ::testing::WithParamInterface<SleepCase> {};

TEST_P(PlaybackStopDuringSleep, DrawsThePreparedFrameThenEnds) {
    Open(WriteRaw("a.raw", 10));
    d.Values().frameRate = GetParam().rate;
    clock.HoldSleeps(true);
    d.Play();
    ASSERT_TRUE(Pump([&] { return shown.size() == 1; }));
    ASSERT_TRUE(clock.WaitUntilSleeping(kPatience));
    EXPECT_EQ(clock.Sleeps(), std::vector<uint32_t>{GetParam().period});
    d.Stop();
    ASSERT_TRUE(Pump([&] { return done == 1; }));
    d.EndPlayback();
    EXPECT_EQ(Trace(), Frames(2, 3));
    EXPECT_EQ(d.Values().frameCounter, 3);
    EXPECT_EQ(left.GetPosition(), At(3));
}

INSTANTIATE_TEST_SUITE_P(Rates, PlaybackStopDuringSleep,
                         ::testing::Values(SleepCase{"Rate25", 25.0, 40},
                                           SleepCase{"Rate0", 0.0, 10000},
                                           SleepCase{"Rate0_01", 0.01, 10000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Playback, StopDuringARealLongSleepEndsPromptly) {
    Open(WriteRaw("a.raw", 10));
    d.clock = &platform::SystemClock();
    d.Values().frameRate = 0.0;
    d.Play();
    ASSERT_TRUE(Pump([&] { return shown.size() == 1; }));
    const auto start = std::chrono::steady_clock::now();
    d.Stop();
    ASSERT_TRUE(Pump([&] { return done == 1; }));
    // The sleep would last 10 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    EXPECT_LE(shown.size(), 2u);
}

TEST_F(Playback, StopDuringARedrawEndsBeforeTheNextFrame) {
    Open(WriteRaw("a.raw", 10));
    StopAfter(4);
    PlayToEnd();
    EXPECT_EQ(Trace(), Frames(2, 5));
    EXPECT_EQ(d.Values().frameCounter, 5);
    EXPECT_EQ(left.GetPosition(), At(5));
}

// Redraw times on the fake clock, from the first frame after Play.
std::vector<uint32_t> Intervals(const std::vector<Shown>& shown) {
    std::vector<uint32_t> t;
    for (size_t i = 1; i < shown.size(); ++i) {
        t.push_back(shown[i].tick - shown[i - 1].tick);
    }
    return t;
}

struct PeriodCase {
    const char* name;
    double rate;
    uint32_t period;
};

void PrintTo(const PeriodCase& c, std::ostream* os) {
    *os << c.name;
}

class PlaybackSchedule : public Playback, public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(PlaybackSchedule, FramesFollowEachOtherByTheTruncatedPeriod) {
    Open(WriteRaw("a.raw", 10));
    d.Values().frameRate = GetParam().rate;
    StopAfter(6);
    PlayToEnd();
    EXPECT_EQ(Intervals(shown), std::vector<uint32_t>(5, GetParam().period));
}

INSTANTIATE_TEST_SUITE_P(
    Rates, PlaybackSchedule,
    ::testing::Values(PeriodCase{"Rate25", 25.0, 40}, PeriodCase{"Rate30", 30.0, 33},
                      PeriodCase{"Rate7", 7.0, 142}, PeriodCase{"Rate1000", 1000.0, 1},
                      PeriodCase{"Rate2000", 2000.0, 0}, PeriodCase{"Rate0", 0.0, 10000},
                      PeriodCase{"Rate0_05", 0.05, 10000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Playback, ScheduleAbsorbsShortDelaysAndReanchorsLateFrames) {
    Open(WriteRaw("a.raw", 10));
    onMessage = [this](unsigned m) {
        if (m != WM_REDRAW_FRAME) {
            return;
        }
        if (shown.size() == 2) {
            clock.Advance(30);  // still before the next frame is due
        } else if (shown.size() == 4) {
            clock.Advance(100);  // the next frame is late
        } else if (shown.size() == 7) {
            d.Stop();
        }
    };
    PlayToEnd();
    EXPECT_EQ(Intervals(shown), (std::vector<uint32_t>{40, 40, 40, 100, 40, 40}));
}

TEST_F(Playback, NewRateSetsTheDueTimeOfTheFrameAfterTheNext) {
    Open(WriteRaw("a.raw", 10));
    onMessage = [this](unsigned m) {
        if (m != WM_REDRAW_FRAME) {
            return;
        }
        if (shown.size() == 3) {
            d.Values().frameRate = 10.0;
        } else if (shown.size() == 6) {
            d.Stop();
        }
    };
    PlayToEnd();
    // The frame after the change was already due 40 ms on; from it, frames are 100 ms apart.
    EXPECT_EQ(Intervals(shown), (std::vector<uint32_t>{40, 40, 40, 100, 100}));
}

TEST_F(Playback, ScheduleSurvivesTheTickCountWrapping) {
    Open(WriteRaw("a.raw", 10));
    clock.Set(0xffffffffu - 50);
    StopAfter(6);
    PlayToEnd();
    EXPECT_EQ(Intervals(shown), std::vector<uint32_t>(5, 40));
    EXPECT_EQ(clock.Sleeps(), std::vector<uint32_t>(5, 40));
}

// A message window that runs every send on the sending thread: nothing waits on the test.
class DirectWindow : public platform::MessageWindow {
public:
    explicit DirectWindow(std::function<void(unsigned)> handler) : handler_(std::move(handler)) {}
    platform::LRESULT WindowProc(unsigned m, platform::WPARAM, platform::LPARAM) override {
        handler_(m);
        return 0;
    }
    platform::LRESULT SendFromOtherThread(unsigned m, platform::WPARAM w,
                                          platform::LPARAM l) override {
        return WindowProc(m, w, l);
    }
    void WaitHandlingSends(platform::CEvent* e) override { e->Wait(platform::INFINITE); }

private:
    std::function<void(unsigned)> handler_;
};

// A rate near zero keeps every frame on time for a long run; the due time passes 2^31 ms.
TEST_F(Playback, LongRunOnTimePassesTwoToTheThirtyFirstMilliseconds) {
    testing_support::WriteBytes(dir.File("t.raw"), testing_support::RawSequence(2, 2, 50));
    Open(dir.File("t.raw"), "", 2, 2);
    d.Values().frameRate = 0.0;
    std::atomic<int> frames{0};
    DirectWindow direct([&](unsigned m) {
        if (m == WM_REDRAW_FRAME && ++frames == 220000) {
            d.Stop();
        }
    });
    d.viewWindow = &direct;
    d.Play();
    d.playbackThread.join();
    d.viewWindow = &view_;
    d.PlaybackEnded();
    const std::vector<uint32_t> sleeps = clock.Sleeps();
    ASSERT_EQ(sleeps.size(), 219999u);
    for (uint32_t s : sleeps) {
        ASSERT_EQ(s, 10000u);
    }
}

// Records the message boxes shown while it lives.
class MessageBoxRecorder {
public:
    MessageBoxRecorder()
        : old_(platform::SetMessageBoxHandler(
              [this](const std::string& t) { texts.push_back(t); })) {}
    ~MessageBoxRecorder() { platform::SetMessageBoxHandler(old_); }
    std::vector<std::string> texts;

private:
    platform::MessageBoxHandler old_;
};

TEST_F(Playback, PlayWhenNotReadyShowsTheMessage) {
    MessageBoxRecorder boxes;
    d.Play();  // nothing loaded
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Not ready to play"});
    EXPECT_EQ(d.playing, 0);
    EXPECT_FALSE(d.playbackThread.joinable());

    Open(WriteRaw("a.raw", 10));
    clock.HoldSleeps(true);
    d.Play();
    d.Play();  // already playing
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{"Not ready to play", "Not ready to play"}));
    d.Stop();
    clock.HoldSleeps(false);
    ASSERT_TRUE(Pump([&] { return done == 1; }));

    // Dual mode without a right sequence has nothing to play.
    d.EndPlayback();
    d.dual = 1;
    d.Play();
    EXPECT_EQ(boxes.texts.size(), 3u);
    EXPECT_EQ(d.playing, 0);
    EXPECT_EQ(d.readyToPlay, 1);
}

TEST_F(Playback, EndPlaybackOnTheWindowThreadAnswersTheThread) {
    Open(WriteRaw("a.raw", 10));
    d.Values().frameRate = 1000.0;
    d.Play();
    ASSERT_TRUE(Pump([&] { return shown.size() >= 3; }));
    const size_t before = shown.size();
    // The thread now waits on this thread to draw its next frame.
    d.EndPlayback();
    EXPECT_LE(shown.size(), before + 1);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(d.readyToPlay, 1);
    EXPECT_EQ(d.playing, 0);
    EXPECT_FALSE(d.playbackThread.joinable());
    EXPECT_EQ(left.GetPosition(), At(d.Values().frameCounter));
}

TEST_F(Playback, DoneSignalOfAThreadThatEndedByItselfDoesNotEndALaterWait) {
    Open(WriteRaw("a.raw", 10));
    d.loop = 0;
    d.Play();
    ASSERT_TRUE(Pump([&] { return done == 1; }));
    d.playbackThread.join();  // its done signal is now set, and nobody waited for it
    d.Rewind();
    d.loop = 1;
    d.Play();
    ASSERT_TRUE(Pump([&] { return shown.size() >= 12; }));
    d.EndPlayback();
    EXPECT_EQ(done, 2);
    EXPECT_EQ(d.playing, 0);
    EXPECT_FALSE(d.playbackThread.joinable());
}

TEST_F(Playback, EndPlaybackWithoutAWindowWaitsForTheThread) {
    Open(WriteRaw("a.raw", 10));
    d.viewWindow = nullptr;
    d.Play();
    d.EndPlayback();
    EXPECT_EQ(d.readyToPlay, 1);
    EXPECT_EQ(d.playing, 0);
    EXPECT_EQ(left.GetPosition(), At(d.Values().frameCounter));
}

// The user-interface thread converts and draws while the thread plays, as the view toggles do.
TEST_F(Playback, ViewTogglesDuringPlayback) {
    Open(WriteRaw("a.raw", 10));
    d.Values().frameRate = 1000.0;
    d.Play();
    for (int i = 0; i < 300; ++i) {
        view_.ProcessOne(0);
        {
            std::lock_guard<std::mutex> lock(d.frameLock);
            if (d.showY == 1 && d.showUV == 0) {
                d.showUV = 1;
            }
            d.showY = d.showY ? 0 : 1;
        }
        d.ShowCurrentFrame();
    }
    d.EndPlayback();
    EXPECT_EQ(d.playing, 0);
    EXPECT_EQ(left.GetPosition(), At(d.Values().frameCounter));
}

TEST_F(Playback, RewindShowsTheFirstFrameOfBothFiles) {
    Open(WriteRaw("l.raw", 10), WriteRaw("r.raw", 10, 0, 2));
    for (int i = 0; i < 3; ++i) {
        d.StepForward();
    }
    shown.clear();
    d.Rewind();
    EXPECT_EQ(Trace(), Pairs({{1, 1}}));
    ExpectPicturesMatch();
    EXPECT_EQ(left.GetPosition(), At(1));
    EXPECT_EQ(RightPos(), At(1));
}

struct UpdateCase {
    const char* name;
    int readyToPlay, playing, loop;
    bool play, stop, transport, loopChecked;
};

void PrintTo(const UpdateCase& c, std::ostream* os) {
    *os << c.name;
}

class PlaybackUpdate : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(PlaybackUpdate, EnablesAndChecks) {
    const UpdateCase& c = GetParam();
    CSequenceDisplay d;
    d.readyToPlay = c.readyToPlay;
    d.playing = c.playing;
    d.loop = c.loop;
    platform::RecordingCmdUI play, stop, transport, loop;
    d.OnUpdatePlay(&play);
    d.OnUpdateStop(&stop);
    d.OnUpdateTransport(&transport);
    loop.enabled = false;
    d.OnUpdateLoop(&loop);
    EXPECT_EQ(play.enabled, c.play);
    EXPECT_EQ(stop.enabled, c.stop);
    EXPECT_EQ(transport.enabled, c.transport);
    EXPECT_TRUE(loop.enabled);
    EXPECT_EQ(loop.checked, c.loopChecked ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(States, PlaybackUpdate,
                         ::testing::Values(UpdateCase{"Empty", 0, 0, 1, false, false, false, true},
                                           UpdateCase{"Ready", 1, 0, 0, true, false, true, false},
                                           UpdateCase{"Playing", 0, 1, 1, false, true, false,
                                                      true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
