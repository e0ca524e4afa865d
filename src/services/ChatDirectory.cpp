#include "services/ChatDirectory.h"

namespace sarvo {

void ChatDirectory::Reset(size_t slotCount) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_slotCount = slotCount;
    m_members.clear();
}

void ChatDirectory::Publish(std::vector<ChatMemberInfo> members) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_members.swap(members);
}

bool ChatDirectory::HasFreeSlot() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_members.size() < m_slotCount;
}

int ChatDirectory::Find(uint32_t id) const {
    std::lock_guard<std::mutex> hold(m_lock);
    for (const ChatMemberInfo& member : m_members) {
        if (member.id == id)
            return static_cast<int>(member.slot);
    }
    return -1;
}

std::vector<ChatMemberInfo> ChatDirectory::Members() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_members;
}

}  // namespace sarvo
