// Playback thread throughput and stop latency.
//
// BM_PlaybackFrames: frames per second that the playback thread sustains at frameRate 1000
// (a period of 1 ms) on raw files of a few dozen frames, looping, with a view that only counts
// messages. Arguments: width, height, view (0: a queued window answered on the benchmark thread,
// as the user-interface thread does; 1: a window that runs each send on the playback thread).
//
// BM_StopToDone: time from Stop to threadDoneEvent while the benchmark thread answers the
// thread's messages. Arguments: width, height, frame rate x 100 (100000: 1000 fps; 0: the thread
// is in its longest sleep when Stop comes).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "engine/sequence_display.h"
#include "platform/queued_window.h"
#include "tests/support/sequence_files.h"

namespace {

using engine::CSequenceDisplay;
using engine::WM_PLAYBACK_DONE;
using engine::WM_REDRAW_FRAME;

// Sequence files, made once per size and kept for the whole run.
class Files {
public:
    static const std::string& Raw(int w, int h) {
        static Files files;
        auto key = std::make_pair(w, h);
        auto it = files.paths_.find(key);
        if (it == files.paths_.end()) {
            const int frames = size_t(w) * h >= 3840u * 2160u ? 24 : 36;
            const std::string path =
                files.dir_.File(std::to_string(w) + "x" + std::to_string(h) + ".raw");
            testing_support::WriteBytes(path, {});
            for (int i = 0; i < frames; ++i) {
                testing_support::AppendBytes(
                    path, testing_support::PatternFrame(testing_support::RawFrameBytes(w, h), i));
            }
            it = files.paths_.emplace(key, path).first;
        }
        return it->second;
    }

private:
    testing_support::TempDir dir_;
    std::map<std::pair<int, int>, std::string> paths_;
};

// A window that runs every send on the sending thread.
class DirectWindow : public platform::MessageWindow {
public:
    platform::LRESULT WindowProc(unsigned m, platform::WPARAM, platform::LPARAM) override {
        if (m == WM_REDRAW_FRAME) {
            frames.fetch_add(1, std::memory_order_release);
            frames.notify_all();
        }
        return 0;
    }
    platform::LRESULT SendFromOtherThread(unsigned m, platform::WPARAM w,
                                          platform::LPARAM l) override {
        return WindowProc(m, w, l);
    }
    void WaitHandlingSends(platform::CEvent* done) override { done->Wait(platform::INFINITE); }

    std::atomic<int64_t> frames{0};
};

// An engine on one raw file, loaded and ready to play, with its view.
struct Player {
    Player(int w, int h, bool direct) {
        if (direct) {
            directView = std::make_unique<DirectWindow>();
            d.viewWindow = directView.get();
        } else {
            queuedView = std::make_unique<platform::QueuedMessageWindow>(
                [this](unsigned m, platform::WPARAM, platform::LPARAM) -> platform::LRESULT {
                    if (m == WM_REDRAW_FRAME) {
                        ++frames;
                    } else if (m == WM_PLAYBACK_DONE) {
                        d.readyToPlay = 1;
                        d.PlaybackEnded();
                    }
                    return 0;
                });
            d.viewWindow = queuedView.get();
        }
        d.defaultWidth = w;
        d.defaultHeight = h;
        ok = file.Open(Files::Raw(w, h));
        d.leftFile = &file;
        ok = ok && d.SetupGeometry();
        d.ReadLeftFrame();
        d.ConvertFrame();
        d.stopEvent = platform::CreateEvent();
        d.threadDoneEvent = platform::CreateEvent();
        d.loop = 1;
        d.readyToPlay = 1;
    }
    ~Player() { d.EndPlayback(); }

    int64_t Frames() const {
        return directView ? directView->frames.load(std::memory_order_acquire) : frames;
    }
    // Returns once the thread has drawn one more frame.
    void NextFrame() {
        const int64_t before = Frames();
        if (queuedView) {
            while (frames == before) {
                queuedView->ProcessOne(1000);
            }
        } else {
            directView->frames.wait(before, std::memory_order_acquire);
        }
    }

    platform::CFile file;
    std::unique_ptr<DirectWindow> directView;
    std::unique_ptr<platform::QueuedMessageWindow> queuedView;
    int64_t frames = 0;
    bool ok = false;
    CSequenceDisplay d;
};

void BM_PlaybackFrames(benchmark::State& state) {
    Player player(int(state.range(0)), int(state.range(1)), state.range(2) == 1);
    if (!player.ok) {
        state.SkipWithError("cannot make the sequence file");
        return;
    }
    player.d.Values().frameRate = 1000.0;
    player.d.Play();
    // A first pass brings the file into the page cache.
    for (int i = 0; i < 40; ++i) {
        player.NextFrame();
    }
    const int64_t first = player.Frames();
    for (auto _ : state) {
        player.NextFrame();
    }
    const int64_t frames = player.Frames() - first;
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(frames * int64_t(player.d.frameBytes));
    player.d.EndPlayback();
}

void BM_StopToDone(benchmark::State& state) {
    Player player(int(state.range(0)), int(state.range(1)), false);
    if (!player.ok) {
        state.SkipWithError("cannot make the sequence file");
        return;
    }
    const double rate = double(state.range(2)) / 100.0;
    player.d.Values().frameRate = rate;
    for (auto _ : state) {
        player.d.Play();
        // The second frame puts the thread into a sleep of a whole period.
        player.NextFrame();
        if (rate < 0.1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const auto start = std::chrono::steady_clock::now();
        player.d.Stop();
        player.queuedView->WaitHandlingSends(player.d.threadDoneEvent.get());
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        player.d.playbackThread.join();
    }
}

void Sizes(benchmark::internal::Benchmark* b, std::initializer_list<int64_t> last) {
    for (auto [w, h] : {std::pair{352, 288}, std::pair{1920, 1080}, std::pair{3840, 2160}}) {
        for (int64_t v : last) {
            b->Args({w, h, v});
        }
    }
}

BENCHMARK(BM_PlaybackFrames)
    ->Apply([](auto* b) {
        Sizes(b, {0, 1});
    }) -> ArgNames({"w", "h", "direct"}) -> Unit(benchmark::kMillisecond) -> UseRealTime()
        -> MinTime(2.0);

BENCHMARK(BM_StopToDone)
    ->Apply([](auto* b) {
        Sizes(b, {100000, 0});
    }) -> ArgNames({"w", "h", "rate_x100"}) -> Unit(benchmark::kMicrosecond) -> UseManualTime()
        -> Iterations(30);

}  // namespace

BENCHMARK_MAIN();
