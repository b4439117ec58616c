#include "shell/listener/ThreadCache.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
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

// What the jobs of a test share with it. Each job holds it, so a job that
// outlives a failed test never touches the test's own frame.
template <typename T>
std::shared_ptr<std::promise<T>> SharedPromise()
{
    return std::make_shared<std::promise<T>>();
}

struct TStartGate {
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    int together = 0;
};

TEST(ThreadCacheTest, EveryJobGetsAThreadOfItsOwnWithoutLimit)
{
    auto cache = std::make_shared<TThreadCache>(1000ms);
    constexpr int kJobs = 40;
    // Each job waits until all have started: they only all get through when
    // they all run at the same time. A job gives up waiting after a while,
    // so a failure leaves no thread blocked for ever.
    auto gate = std::make_shared<TStartGate>();
    for (int i = 0; i < kJobs; ++i) {
        cache->Run([gate] {
            std::unique_lock lock(gate->mutex);
            ++gate->started;
            gate->changed.notify_all();
            if (gate->changed.wait_for(lock, 10s, [&] { return gate->started == kJobs; })) {
                ++gate->together;
            }
        });
    }
    EXPECT_TRUE(Eventually([&] {
        std::scoped_lock lock(gate->mutex);
        return gate->together == kJobs;
    }));
    cache->Shutdown();
}

TEST(ThreadCacheTest, AnIdleThreadTakesTheNextJob)
{
    auto cache = std::make_shared<TThreadCache>(10s);
    auto first = SharedPromise<std::thread::id>();
    cache->Run([first] { first->set_value(std::this_thread::get_id()); });
    const std::thread::id firstId = first->get_future().get();
    EXPECT_TRUE(Eventually([&] { return cache->IdleThreads() == 1; }));

    auto second = SharedPromise<std::thread::id>();
    cache->Run([second] { second->set_value(std::this_thread::get_id()); });
    EXPECT_EQ(second->get_future().get(), firstId);
    cache->Shutdown();
    EXPECT_TRUE(Eventually([&] { return cache->IdleThreads() == 0; }));
}

TEST(ThreadCacheTest, IdleThreadsEndByThemselves)
{
    auto cache = std::make_shared<TThreadCache>(20ms);
    auto ran = SharedPromise<void>();
    cache->Run([ran] { ran->set_value(); });
    ran->get_future().get();
    EXPECT_TRUE(Eventually([&] { return cache->IdleThreads() == 0; }));

    // A new job after that still runs, on a new thread.
    auto again = SharedPromise<void>();
    cache->Run([again] { again->set_value(); });
    EXPECT_EQ(again->get_future().wait_for(10s), std::future_status::ready);
}

} // namespace
