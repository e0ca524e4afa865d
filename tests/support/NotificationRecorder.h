#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/Notification.h"

namespace sarvo::test {

struct RecordedPost {
    uint32_t commandId = 0;
    uintptr_t argument = 0;
};

// Registers itself for one channel while it lives and keeps every post it receives.
class NotificationRecorder : public NotificationTarget {
public:
    explicit NotificationRecorder(NotificationChannel channel);
    ~NotificationRecorder() override;

    void Post(uint32_t commandId, uintptr_t argument) override;

    std::vector<RecordedPost> Posts() const;
    size_t CountOf(uint32_t commandId) const;
    // True once a post with this id has arrived, waiting up to the timeout for it.
    bool WaitFor(uint32_t commandId, std::chrono::milliseconds timeout) const;

private:
    NotificationChannel m_channel;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_arrived;
    std::vector<RecordedPost> m_posts;
};

}  // namespace sarvo::test
