// Splits the rows of one conversion into bands that the calling thread and a few persistent
// worker threads convert together. Run returns after every band is done, so a caller that holds
// frameLock around Run still owns the whole picture when Run returns.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {

class RowBands {
public:
    using Job = void (*)(void* context, int begin, int end);

    // workers: threads besides the caller; started on the first Run that needs them.
    explicit RowBands(int workers);
    // Stops and joins the workers.
    ~RowBands();
    RowBands(const RowBands&) = delete;
    RowBands& operator=(const RowBands&) = delete;

    // Calls job(context, begin, end) over disjoint ranges that together cover 0 .. rows, each
    // beginning at a multiple of granule; ranges run on the caller and the workers. Runs
    // everything on the caller when it is worth no split (fewer than 2 x minRows rows), when
    // another thread's Run is in progress, or in a child process made by fork.
    void Run(int rows, int granule, int minRows, Job job, void* context);

    template <typename Fn>
    void Run(int rows, int granule, int minRows, Fn& fn) {
        Run(
            rows, granule, minRows,
            [](void* c, int begin, int end) { (*static_cast<Fn*>(c))(begin, end); },
            static_cast<void*>(&fn));
    }

    int workers() const { return workers_; }

private:
    struct Work;

    void Start();
    void WorkerLoop();
    static void RunRanges(Work& work);

    const int workers_;
    const int pid_;
    // Held by the one Run that uses the workers.
    std::mutex runLock_;
    // Guards everything below; the workers sleep on wake_, the caller on finished_.
    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::vector<std::thread> threads_;
    Work* work_ = nullptr;
    unsigned generation_ = 0;
    int joined_ = 0;
    int left_ = 0;
    bool stop_ = false;
};

// The bands that ConvertFrame uses: one worker per further processor (at most 7); the
// environment variable PIXLOOM_THREADS=n limits the total to n threads (1: no workers). Made at
// first use; the workers end when the process exits.
RowBands& ConversionBands();

}  // namespace engine
