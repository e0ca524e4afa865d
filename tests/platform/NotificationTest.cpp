#include "platform/Notification.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

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

// A post to a channel without a target is dropped, also once a replacing target has gone: the
// channel is then empty, not back to the target before.
TEST(NotificationTest, APostWithoutATargetIsDroppedAndARemovedTargetIsNotRestored) {
    PostNotification(NotificationChannel::ChatWindow, kServerStarted, 1);
    test::NotificationRecorder first(NotificationChannel::ChatWindow);
    EXPECT_TRUE(first.Posts().empty());
    {
        test::NotificationRecorder second(NotificationChannel::ChatWindow);
        PostNotification(NotificationChannel::ChatWindow, kServerStopped, 0);
        EXPECT_EQ(second.CountOf(kServerStopped), 1u);
    }
    PostNotification(NotificationChannel::ChatWindow, kServerStopped, 0);
    EXPECT_TRUE(first.Posts().empty());
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

}  // namespace
}  // namespace sarvo
