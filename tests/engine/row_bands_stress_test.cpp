// The band worker under load: every row once, jobs from several threads at once, workers that
// start and stop, and whole conversions split over the workers against single-thread ones.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "engine/row_bands.h"
#include "engine/sequence_display.h"

namespace {

using engine::RowBands;

// Runs a job of rows rows and checks that each row was handed out exactly once, in ranges that
// begin at multiples of granule.
void ExpectEveryRowOnce(RowBands& bands, int rows, int granule, int minRows) {
    std::vector<std::atomic<int>> seen(size_t(rows > 0 ? rows : 1));
    std::atomic<int> misaligned{0};
    auto job = [&](int begin, int end) {
        if (begin % granule != 0) {
            ++misaligned;
        }
        for (int r = begin; r < end; ++r) {
            seen[size_t(r)].fetch_add(1, std::memory_order_relaxed);
        }
    };
    bands.Run(rows, granule, minRows, job);
    for (int r = 0; r < rows; ++r) {
        ASSERT_EQ(seen[size_t(r)].load(), 1) << "row " << r << " of " << rows;
    }
    EXPECT_EQ(misaligned.load(), 0);
}

TEST(RowBandsStressTest, EveryRowExactlyOnce) {
    RowBands bands(3);
    std::mt19937 rng(5);
    for (int i = 0; i < 2000; ++i) {
        const int rows = int(rng() % 300);
        const int granule = 1 + int(rng() % 3);
        const int minRows = 1 + int(rng() % 40);
        ExpectEveryRowOnce(bands, rows, granule, minRows);
    }
}

TEST(RowBandsStressTest, JobsFromSeveralThreadsAtOnce) {
    RowBands bands(2);
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&bands, t] {
            std::mt19937 rng{uint32_t(t)};
            for (int i = 0; i < 500; ++i) {
                ExpectEveryRowOnce(bands, 1 + int(rng() % 200), 2, 4);
            }
        });
    }
    for (auto& c : callers) {
        c.join();
    }
}

TEST(RowBandsStressTest, WorkersEndWithTheirObject) {
    for (int i = 0; i < 50; ++i) {
        RowBands bands(1 + i % 4);
        if (i % 2 == 0) {
            ExpectEveryRowOnce(bands, 100, 1, 2);
        }
    }
    RowBands none(0);
    ExpectEveryRowOnce(none, 100, 1, 2);
    EXPECT_EQ(none.workers(), 0);
}

TEST(RowBandsStressTest, SmallJobsStayOnTheCaller) {
    RowBands bands(2);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> elsewhere{0};
    auto job = [&](int, int) {
        if (std::this_thread::get_id() != caller) {
            ++elsewhere;
        }
    };
    bands.Run(19, 1, 10, job);
    EXPECT_EQ(elsewhere.load(), 0);
}

// A large job reaches the worker: the caller's first range waits until another thread has
// taken a range (or two seconds have passed).
TEST(RowBandsStressTest, LargeJobsReachTheWorkers) {
    RowBands bands(1);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> workerRan{false};
    auto job = [&](int, int) {
        if (std::this_thread::get_id() != caller) {
            workerRan = true;
            return;
        }
        for (int i = 0; i < 2000 && !workerRan; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    bands.Run(64, 1, 4, job);
    EXPECT_TRUE(workerRan.load());
}

// A raw or KORVA engine of w x h with random frames, converted on the calling thread alone by
// a band object without workers, and by ConvertFrame with the shared workers.
struct Picture {
    Picture(bool korva, bool interlaced, int w, int h, int dualMode, int showY, int showUV,
            uint32_t seed) {
        d.mainFrame = &values;
        values.deltaScale = 0.7;
        d.width = w;
        d.height = h;
        d.dual = dualMode > 0;
        d.deltaMode = dualMode == 2;
        d.showY = showY;
        d.showUV = showUV;
        if (korva) {
            const int lines = interlaced ? h / 2 : h;
            d.isKorva = 1;
            d.uvMultiplexed = interlaced;
            d.header.interlaceFactor = interlaced ? 2 : 1;
            d.header.frameHeaderRecords = 1;
            d.header.componentCount = 3;
            d.header.components[1].verticalFactor = 2;
            d.ySize = w * lines;
            d.yStride = w;
            d.cStride = w / 2;
            d.cSize = d.cStride * (lines / 2);
        } else {
            d.ySize = w * h;
            d.yStride = w;
            d.cSize = w * h / 4;
            d.cStride = w / 2;
        }
        EXPECT_TRUE(d.AllocateBuffers());
        std::mt19937 rng(seed);
        for (size_t i = 0; i < d.leftFrame.size(); ++i) {
            d.leftFrame.data()[i] = uint8_t(rng() >> 24);
        }
        if (d.dual) {
            for (size_t i = 0; i < d.rightFrame.size(); ++i) {
                d.rightFrame.data()[i] = uint8_t(rng() >> 24);
            }
        }
    }
    std::vector<uint8_t> Convert() {
        d.ConvertFrame();
        return std::vector<uint8_t>(d.rgbBuffer.data(), d.rgbBuffer.data() + d.rgbBuffer.size());
    }
    engine::FrameValues values;
    engine::CSequenceDisplay d;
};

// Two engines converting on two threads at once, each many times; each picture must equal the
// first one made, whichever thread got the workers.
TEST(RowBandsStressTest, ConcurrentConversionsMatch) {
    struct Case {
        bool korva, interlaced;
        int w, h, dualMode, showY, showUV;
    };
    const Case cases[] = {{false, false, 1024, 520, 0, 1, 1},
                          {false, false, 700, 400, 2, 1, 1},
                          {false, false, 640, 420, 2, 0, 1},
                          {true, false, 800, 400, 0, 1, 1},
                          {true, true, 640, 424, 0, 1, 1}};
    std::vector<std::unique_ptr<Picture>> pictures;
    std::vector<std::vector<uint8_t>> first;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        pictures.push_back(std::make_unique<Picture>(c.korva, c.interlaced, c.w, c.h, c.dualMode,
                                                     c.showY, c.showUV, uint32_t(i)));
        first.push_back(pictures.back()->Convert());
    }
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (size_t i = 0; i < pictures.size(); ++i) {
        threads.emplace_back([&, i] {
            for (int n = 0; n < 10; ++n) {
                if (pictures[i]->Convert() != first[i]) {
                    ++mismatches;
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
