#include "platform/frame_trace.h"

#include <time.h>

#include <cinttypes>
#include <cstdlib>

namespace platform {

int64_t MonotonicMicros() {
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::unique_ptr<FrameTrace> FrameTrace::FromEnvironment() {
    const char* path = std::getenv(kVariable);
    if (path == nullptr || *path == '\0') {
        return nullptr;
    }
    return Open(path);
}

std::unique_ptr<FrameTrace> FrameTrace::Open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ae");
    if (file == nullptr) {
        return nullptr;
    }
    std::fputs("# pixloom frame trace: frame t_us read_us convert_us draw_us\n", file);
    std::fflush(file);
    return std::unique_ptr<FrameTrace>(new FrameTrace(file));
}

FrameTrace::~FrameTrace() {
    std::fclose(file_);
}

void FrameTrace::Write(int frame, int64_t tMicros, int64_t readMicros, int64_t convertMicros,
                       int64_t drawMicros) {
    std::fprintf(file_, "%d %" PRId64 " %" PRId64 " %" PRId64 " %" PRId64 "\n", frame, tMicros,
                 readMicros, convertMicros, drawMicros);
    std::fflush(file_);
}

}  // namespace platform
