#include "engine/row_bands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace engine {

// One job: ranges of granule-aligned rows handed out in order, to whoever asks first.
struct RowBands::Work {
    Job job;
    void* context;
    int rows;
    int rangeRows;
    std::atomic<int> next{0};
};

RowBands::RowBands(int workers) : workers_(std::max(0, workers)), pid_(int(getpid())) {}

RowBands::~RowBands() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) {
        t.join();
    }
}

void RowBands::RunRanges(Work& work) {
    for (;;) {
        const int begin = work.next.fetch_add(work.rangeRows, std::memory_order_relaxed);
        if (begin >= work.rows) {
            return;
        }
        work.job(work.context, begin, std::min(work.rows, begin + work.rangeRows));
    }
}

void RowBands::WorkerLoop() {
    unsigned seen = 0;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait(hold, [&] { return stop_ || (work_ != nullptr && generation_ != seen); });
        if (stop_) {
            return;
        }
        seen = generation_;
        Work* work = work_;
        ++joined_;
        hold.unlock();
        RunRanges(*work);
        hold.lock();
        if (--left_ == 0) {
            finished_.notify_one();
        }
    }
}

void RowBands::Start() {
    threads_.reserve(size_t(workers_));
    for (int i = 0; i < workers_; ++i) {
        threads_.emplace_back([this] { WorkerLoop(); });
    }
}

void RowBands::Run(int rows, int granule, int minRows, Job job, void* context) {
    if (rows <= 0) {
        return;
    }
    granule = std::max(1, granule);
    const bool split = workers_ > 0 && rows >= 2 * minRows && int(getpid()) == pid_;
    std::unique_lock<std::mutex> running(runLock_, std::defer_lock);
    if (!split || !running.try_lock()) {
        job(context, 0, rows);
        return;
    }
    if (threads_.empty()) {
        Start();
    }
    // A few ranges per thread, so that a worker that wakes late leaves its share to the others.
    const int threads = workers_ + 1;
    int rangeRows = std::max(minRows / 2, rows / (4 * threads));
    rangeRows = std::max(granule, (rangeRows + granule - 1) / granule * granule);
    Work work{job, context, rows, rangeRows};
    {
        std::lock_guard<std::mutex> hold(lock_);
        work_ = &work;
        ++generation_;
        joined_ = 0;
        left_ = 0;
    }
    wake_.notify_all();
    RunRanges(work);
    // Workers that have not taken the job by now never will; wait for those that have.
    std::unique_lock<std::mutex> hold(lock_);
    work_ = nullptr;
    left_ += joined_;
    joined_ = 0;
    finished_.wait(hold, [&] { return left_ == 0; });
}

RowBands& ConversionBands() {
    static RowBands bands([] {
        int threads = int(std::thread::hardware_concurrency());
        if (const char* limit = std::getenv("PIXLOOM_THREADS")) {
            const int n = std::atoi(limit);
            if (n >= 1) {
                threads = std::min(threads, n);
            }
        }
        return std::clamp(threads - 1, 0, 7);
    }());
    return bands;
}

}  // namespace engine
