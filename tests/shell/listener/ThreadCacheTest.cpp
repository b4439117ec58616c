#include "shell/listener/ThreadCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <latch>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits (generously) for a condition another thread brings about.
template <typename TCondition>
bool Eventually(TCondition condition)
{
    for (int i = 0; i < 1000 && !condition(); ++i) {
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

TEST(ThreadCacheTest, EveryJobGetsAThreadOfItsOwnWithoutLimit)
{
    auto cache = std::make_shared<TThreadCache>(1000ms);
    constexpr int kJobs = 40;
    // Each job waits until all have started: this only finishes when they
    // all run at the same time.
    std::latch allStarted(kJobs);
    std::atomic<int> done {0};
    for (int i = 0; i < kJobs; ++i) {
        cache->Run([&] {
            allStarted.arrive_and_wait();
            ++done;
        });
    }
    EXPECT_TRUE(Eventually([&] { return done == kJobs; }));
    cache->Shutdown();
}

TEST(ThreadCacheTest, AnIdleThreadTakesTheNextJob)
{
    auto cache = std::make_shared<TThreadCache>(10s);
    std::promise<std::thread::id> first;
    cache->Run([&] { first.set_value(std::this_thread::get_id()); });
    const std::thread::id firstId = first.get_future().get();
    ASSERT_TRUE(Eventually([&] { return cache->IdleThreads() == 1; }));

    std::promise<std::thread::id> second;
    cache->Run([&] { second.set_value(std::this_thread::get_id()); });
    EXPECT_EQ(second.get_future().get(), firstId);
    cache->Shutdown();
    EXPECT_TRUE(Eventually([&] { return cache->IdleThreads() == 0; }));
}

TEST(ThreadCacheTest, IdleThreadsEndByThemselves)
{
    auto cache = std::make_shared<TThreadCache>(20ms);
    std::promise<void> ran;
    cache->Run([&] { ran.set_value(); });
    ran.get_future().get();
    EXPECT_TRUE(Eventually([&] { return cache->IdleThreads() == 0; }));

    // A new job after that still runs, on a new thread.
    std::promise<void> again;
    cache->Run([&] { again.set_value(); });
    EXPECT_EQ(again.get_future().wait_for(10s), std::future_status::ready);
}

} // namespace
