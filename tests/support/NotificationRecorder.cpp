#include "support/NotificationRecorder.h"

#include <algorithm>

namespace sarvo::test {

NotificationRecorder::NotificationRecorder(NotificationChannel channel) : m_channel(channel) {
    SetNotificationTarget(m_channel, this);
}

NotificationRecorder::~NotificationRecorder() {
    SetNotificationTarget(m_channel, nullptr);
}

void NotificationRecorder::Post(uint32_t commandId, uintptr_t argument) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_posts.push_back({commandId, argument});
    }
    m_arrived.notify_all();
}

std::vector<RecordedPost> NotificationRecorder::Posts() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_posts;
}

size_t NotificationRecorder::CountOf(uint32_t commandId) const {
    std::lock_guard<std::mutex> hold(m_lock);
    return std::count_if(m_posts.begin(), m_posts.end(),
                         [commandId](const RecordedPost& post) { return post.commandId == commandId; });
}

bool NotificationRecorder::WaitFor(uint32_t commandId, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> hold(m_lock);
    return m_arrived.wait_for(hold, timeout, [&] {
        return std::any_of(m_posts.begin(), m_posts.end(),
                           [commandId](const RecordedPost& post) { return post.commandId == commandId; });
    });
}

}  // namespace sarvo::test
