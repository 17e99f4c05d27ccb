// The frame trace file: its header, one line of five integers per draw, appending, the
// environment switch; the monotonic clock it stamps lines with; the frame timer.
#include "platform/frame_trace.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/sequence_files.h"

namespace {

using platform::FrameTrace;
using testing_support::TempDir;

const std::string kHeader = "# pixloom frame trace: frame t_us read_us convert_us draw_us";

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Sets or clears PIXLOOM_TRACE for one test.
class TraceVariable {
public:
    explicit TraceVariable(const char* value) {
        if (value != nullptr) {
            ::setenv(FrameTrace::kVariable, value, 1);
        } else {
            ::unsetenv(FrameTrace::kVariable);
        }
    }
    ~TraceVariable() { ::unsetenv(FrameTrace::kVariable); }
};

TEST(FrameTrace, HeaderThenOneLinePerDrawInTheFileAtOnce) {
    TempDir dir;
    const std::string path = dir.File("trace.txt");
    auto trace = FrameTrace::Open(path);
    ASSERT_NE(trace, nullptr);
    trace->Write(1, 5000000123, 812, 2400, 1900);
    trace->Write(2, 5000004567, -1, -1, 300);
    // Each line is in the file before the trace is closed.
    EXPECT_EQ(Lines(path), (std::vector<std::string>{kHeader, "1 5000000123 812 2400 1900",
                                                     "2 5000004567 -1 -1 300"}));
}

TEST(FrameTrace, AppendsToAnExistingFile) {
    TempDir dir;
    const std::string path = dir.File("trace.txt");
    FrameTrace::Open(path)->Write(7, 10, 1, 2, 3);
    FrameTrace::Open(path)->Write(8, 20, 4, 5, 6);
    EXPECT_EQ(Lines(path),
              (std::vector<std::string>{kHeader, "7 10 1 2 3", kHeader, "8 20 4 5 6"}));
}

TEST(FrameTrace, OnlyWhenTheVariableNamesAWritableFile) {
    TempDir dir;
    {
        TraceVariable unset(nullptr);
        EXPECT_EQ(FrameTrace::FromEnvironment(), nullptr);
    }
    {
        TraceVariable empty("");
        EXPECT_EQ(FrameTrace::FromEnvironment(), nullptr);
    }
    {
        TraceVariable folder(dir.path().c_str());
        EXPECT_EQ(FrameTrace::FromEnvironment(), nullptr);
    }
    const std::string path = dir.File("env.txt");
    TraceVariable file(path.c_str());
    EXPECT_NE(FrameTrace::FromEnvironment(), nullptr);
    EXPECT_EQ(Lines(path), std::vector<std::string>{kHeader});
}

TEST(MonotonicMicros, IsTheMonotonicClockInMicroseconds) {
    timespec before, after;
    ::clock_gettime(CLOCK_MONOTONIC, &before);
    const int64_t t = platform::MonotonicMicros();
    ::clock_gettime(CLOCK_MONOTONIC, &after);
    EXPECT_GE(t, int64_t(before.tv_sec) * 1000000 + before.tv_nsec / 1000);
    EXPECT_LE(t, int64_t(after.tv_sec) * 1000000 + after.tv_nsec / 1000);
}

TEST(FrameTimer, PublishesOnlyWhenEnabledAndConverted) {
    platform::FrameTimes times;
    {
        platform::FrameTimer timer(times);
        timer.ReadDone();
        timer.ConvertDone();
    }
    EXPECT_EQ(times.readMicros, -1);
    EXPECT_EQ(times.convertMicros, -1);

    times.enabled = true;
    {
        // A step that finds nothing to show publishes nothing.
        platform::FrameTimer timer(times);
        timer.ReadDone();
    }
    EXPECT_EQ(times.readMicros, -1);
    {
        platform::FrameTimer timer(times);
        timer.ReadDone();
        timer.ConvertDone();
    }
    EXPECT_GE(times.readMicros, 0);
    EXPECT_GE(times.convertMicros, 0);
}

}  // namespace
