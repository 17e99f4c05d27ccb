// The frame trace: with PIXLOOM_TRACE=FILE set, the viewer appends one line per drawn frame to
// FILE. Unset, it costs one branch per frame.
//
// File format: a comment line "# pixloom frame trace: frame t_us read_us convert_us draw_us",
// then one line per draw, five integers separated by single spaces:
//   frame       frameCounter when the frame was drawn
//   t_us        monotonic time (CLOCK_MONOTONIC) in microseconds once the frame is on screen;
//               during playback once it is handed to the window system, which shows it while
//               the next frame is read and converted (the next draw waits until it has)
//   read_us     microseconds spent reading the frame from the file(s), -1 when this draw showed
//               no newly read frame (a repaint, a view toggle)
//   convert_us  microseconds spent converting it to RGB, -1 when nothing was converted for it
//   draw_us     microseconds from the start of the draw until t_us
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace platform {

// Microseconds on the monotonic clock (CLOCK_MONOTONIC), the clock of the trace's t_us.
int64_t MonotonicMicros();

// Times of the frame last prepared for the view. Written by the thread that reads and converts
// (playback thread or a transport command) before it hands the frame over; the view takes them
// while it draws that frame.
struct FrameTimes {
    // Set before any playback thread starts; nothing is measured while it is clear.
    bool enabled = false;
    std::atomic<int64_t> readMicros{-1};
    std::atomic<int64_t> convertMicros{-1};
};

// Measures one read-then-convert step into FrameTimes when they are enabled.
class FrameTimer {
public:
    explicit FrameTimer(FrameTimes& times)
        : times_(times), start_(times.enabled ? MonotonicMicros() : 0), mid_(start_) {}
    // The reads are done; conversion starts.
    void ReadDone() {
        if (times_.enabled) {
            mid_ = MonotonicMicros();
        }
    }
    // The conversion is done: publishes both times.
    void ConvertDone() {
        if (times_.enabled) {
            const int64_t end = MonotonicMicros();
            times_.readMicros = mid_ - start_;
            times_.convertMicros = end - mid_;
        }
    }

private:
    FrameTimes& times_;
    int64_t start_;
    int64_t mid_;
};

class FrameTrace {
public:
    // The environment variable that names the trace file.
    static constexpr const char* kVariable = "PIXLOOM_TRACE";

    // A trace appending to the file that PIXLOOM_TRACE names, or null when it is unset, empty or
    // the file cannot be opened.
    static std::unique_ptr<FrameTrace> FromEnvironment();
    // Opens path for appending and writes the header line; null when it cannot be opened.
    static std::unique_ptr<FrameTrace> Open(const std::string& path);

    ~FrameTrace();
    FrameTrace(const FrameTrace&) = delete;
    FrameTrace& operator=(const FrameTrace&) = delete;

    // Appends one line; the line is in the file when this returns.
    void Write(int frame, int64_t tMicros, int64_t readMicros, int64_t convertMicros,
               int64_t drawMicros);

private:
    explicit FrameTrace(std::FILE* file) : file_(file) {}
    std::FILE* file_;
};

}  // namespace platform
