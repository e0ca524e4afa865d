#include "services/ChatQueue.h"

namespace sarvo {

void ChatQueue::Open() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_open = true;
}

void ChatQueue::Close() {
    std::deque<ChatMessage> left;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_open = false;
        left.swap(m_messages);
    }
    // Released outside the lock: closing a socket is a system call.
}

bool ChatQueue::Push(ChatMessage message) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_open)
            return false;
        m_messages.push_back(std::move(message));
    }
    m_wake.Raise();
    return true;
}

std::optional<ChatMessage> ChatQueue::TryPop() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_messages.empty())
        return std::nullopt;
    ChatMessage message = std::move(m_messages.front());
    m_messages.pop_front();
    return message;
}

}  // namespace sarvo
