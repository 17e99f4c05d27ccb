#include "platform/messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/queued_window.h"

namespace {

using platform::LPARAM;
using platform::LRESULT;
using platform::QueuedMessageWindow;
using platform::WPARAM;
using std::chrono::milliseconds;

// Answers until pred holds; only a hang makes it give up.
template <class Pred>
bool AnswerUntil(QueuedMessageWindow& w, Pred pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        w.ProcessOne(5);
    }
    return true;
}

TEST(SendMessage, ToNoWindowReturnsZero) {
    EXPECT_EQ(platform::SendMessage(nullptr, platform::WM_USER, 1, 2), 0);
}

TEST(SendMessage, OnTheOwnerThreadCallsTheHandlerDirectly) {
    std::vector<unsigned> seen;
    QueuedMessageWindow w([&](unsigned m, WPARAM wp, LPARAM lp) -> LRESULT {
        seen.push_back(m);
        return LRESULT(wp) + lp;
    });
    EXPECT_TRUE(w.OnOwnerThread());
    EXPECT_EQ(platform::SendMessage(&w, platform::WM_USER + 1, 40, 2), 42);
    EXPECT_EQ(seen, std::vector<unsigned>{platform::WM_USER + 1});
    EXPECT_EQ(w.ProcessPending(), 0);
}

TEST(SendMessage, FromAnotherThreadRunsOnTheOwnerAndReturnsAfterTheHandler) {
    const std::thread::id owner = std::this_thread::get_id();
    std::atomic<bool> handled{false};
    std::thread::id ranOn;
    QueuedMessageWindow w([&](unsigned m, WPARAM wp, LPARAM) -> LRESULT {
        ranOn = std::this_thread::get_id();
        std::this_thread::sleep_for(milliseconds(10));
        handled = true;
        return LRESULT(m + wp);
    });
    std::atomic<bool> returned{false};
    LRESULT result = 0;
    bool handledWhenReturned = false;
    std::thread sender([&] {
        EXPECT_FALSE(w.OnOwnerThread());
        result = platform::SendMessage(&w, platform::WM_USER, 7);
        handledWhenReturned = handled.load();
        returned = true;
    });
    // Nothing runs until the owner answers.
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_FALSE(handled.load());
    EXPECT_FALSE(returned.load());
    ASSERT_TRUE(AnswerUntil(w, [&] { return returned.load(); }));
    sender.join();
    EXPECT_EQ(ranOn, owner);
    EXPECT_TRUE(handledWhenReturned);
    EXPECT_EQ(result, LRESULT(platform::WM_USER + 7));
}

TEST(SendMessage, SendsOfOneThreadArriveInOrderAndSeveralSendersAreAllAnswered) {
    std::vector<WPARAM> seen;
    QueuedMessageWindow w([&](unsigned, WPARAM wp, LPARAM) -> LRESULT {
        seen.push_back(wp);
        return 0;
    });
    constexpr int kSenders = 4, kEach = 50;
    std::atomic<int> finished{0};
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([&, s] {
            for (int i = 0; i < kEach; ++i) {
                platform::SendMessage(&w, platform::WM_USER, WPARAM(s * 1000 + i));
            }
            ++finished;
        });
    }
    ASSERT_TRUE(AnswerUntil(w, [&] { return finished.load() == kSenders; }));
    for (auto& t : senders) {
        t.join();
    }
    ASSERT_EQ(seen.size(), size_t(kSenders * kEach));
    for (int s = 0; s < kSenders; ++s) {
        int next = 0;
        for (WPARAM v : seen) {
            if (int(v) / 1000 == s) {
                EXPECT_EQ(int(v) % 1000, next++);
            }
        }
        EXPECT_EQ(next, kEach);
    }
}

TEST(QueuedWindow, ProcessOneTimesOutWithNothingWaiting) {
    QueuedMessageWindow w;
    EXPECT_FALSE(w.ProcessOne(5));
    EXPECT_EQ(w.ProcessPending(), 0);
}

// The protocol of the playback thread: sends, then a last send, then its done signal. The owner
// waits for the signal while answering, and the wait clears it.
TEST(QueuedWindow, WaitHandlingSendsAnswersUntilDoneAndClearsIt) {
    int handled = 0;
    QueuedMessageWindow w([&](unsigned, WPARAM, LPARAM) -> LRESULT {
        ++handled;
        return 0;
    });
    platform::CEvent done;
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            platform::SendMessage(&w, platform::WM_USER);
        }
        platform::SendMessage(&w, platform::WM_USER + 1);
        done.Set();
    });
    w.WaitHandlingSends(&done);
    worker.join();
    EXPECT_EQ(handled, 21);
    EXPECT_EQ(done.Wait(0), platform::WAIT_TIMEOUT);
}

TEST(QueuedWindow, WaitHandlingSendsReturnsAtOnceWhenAlreadyDone) {
    QueuedMessageWindow w;
    platform::CEvent done;
    done.Set();
    w.WaitHandlingSends(&done);
    EXPECT_EQ(done.Wait(0), platform::WAIT_TIMEOUT);
}

}  // namespace
