#include "platform/Notification.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "support/NotificationRecorder.h"

namespace sarvo {
namespace {

constexpr uint32_t kServerStarted = 32775;
constexpr uint32_t kServerStopped = 32777;
constexpr uint32_t kClientConnected = 1000;

TEST(NotificationTest, APostReachesTheTargetOfItsChannelOnly) {
    test::NotificationRecorder main(NotificationChannel::MainWindow);
    test::NotificationRecorder clients(NotificationChannel::ClientsList);
    PostNotification(NotificationChannel::MainWindow, kServerStarted, 7);
    PostNotification(NotificationChannel::ClientsList, kClientConnected, 12);
    PostNotification(NotificationChannel::MainWindow, kServerStopped, 0);

    auto posts = main.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].commandId, kServerStarted);
    EXPECT_EQ(posts[0].argument, 7u);
    EXPECT_EQ(posts[1].commandId, kServerStopped);
    ASSERT_EQ(clients.Posts().size(), 1u);
    EXPECT_EQ(clients.Posts()[0].argument, 12u);
}

TEST(NotificationTest, APostWithoutATargetIsDropped) {
    PostNotification(NotificationChannel::ChatWindow, kServerStarted, 1);
    test::NotificationRecorder chat(NotificationChannel::ChatWindow);
    EXPECT_TRUE(chat.Posts().empty());
    PostNotification(NotificationChannel::ChatWindow, kServerStopped, 2);
    EXPECT_EQ(chat.CountOf(kServerStopped), 1u);
    EXPECT_EQ(chat.CountOf(kServerStarted), 0u);
}

TEST(NotificationTest, ARemovedOrReplacedTargetGetsNoMorePosts) {
    test::NotificationRecorder first(NotificationChannel::MainWindow);
    PostNotification(NotificationChannel::MainWindow, kServerStarted, 0);
    {
        test::NotificationRecorder second(NotificationChannel::MainWindow);
        PostNotification(NotificationChannel::MainWindow, kServerStopped, 0);
        EXPECT_EQ(second.CountOf(kServerStopped), 1u);
    }
    // The second recorder removed itself; the channel now has no target, not the first one again.
    PostNotification(NotificationChannel::MainWindow, kServerStopped, 0);
    EXPECT_EQ(first.Posts().size(), 1u);
    EXPECT_EQ(first.CountOf(kServerStarted), 1u);
}

// Holds its post until released, so that a removal can be made while a post is under way.
class BlockingTarget : public NotificationTarget {
public:
    void Post(uint32_t, uintptr_t) override {
        std::unique_lock<std::mutex> hold(m_lock);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(hold, [this] { return m_released; });
        m_finished = true;
    }
    void WaitEntered() {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [this] { return m_entered; });
    }
    void Release() {
        std::lock_guard<std::mutex> hold(m_lock);
        m_released = true;
        m_changed.notify_all();
    }
    bool Finished() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_finished;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_released = false;
    bool m_finished = false;
};

TEST(NotificationTest, RemovalWaitsForAPostUnderWay) {
    BlockingTarget target;
    SetNotificationTarget(NotificationChannel::ClientsList, &target);
    std::thread poster([] { PostNotification(NotificationChannel::ClientsList, kClientConnected, 3); });
    target.WaitEntered();
    std::atomic<bool> removed{false};
    bool finishedWhenRemoved = false;
    std::thread remover([&] {
        SetNotificationTarget(NotificationChannel::ClientsList, nullptr);
        finishedWhenRemoved = target.Finished();
        removed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(removed.load());
    target.Release();
    poster.join();
    remover.join();
    EXPECT_TRUE(removed.load());
    EXPECT_TRUE(finishedWhenRemoved);
}

TEST(NotificationTest, PostsFromManyThreadsAllArrive) {
    test::NotificationRecorder clients(NotificationChannel::ClientsList);
    constexpr int kThreads = 4;
    constexpr int kPostsEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kPostsEach; ++i)
                PostNotification(NotificationChannel::ClientsList,
                                 kClientConnected + static_cast<uint32_t>(t), 0);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(clients.Posts().size(), static_cast<size_t>(kThreads * kPostsEach));
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(clients.CountOf(kClientConnected + static_cast<uint32_t>(t)),
                  static_cast<size_t>(kPostsEach));
}

}  // namespace
}  // namespace sarvo
