#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// The member table as other threads see it. Connection threads (the member list page, speech posts,
// the full-room check) and the owner's window read the table while the chat thread changes it; they
// read this copy instead, which the chat thread replaces whole under a lock after every change, so no
// reader ever sees a slot half changed.
namespace sarvo {

struct ChatMemberInfo {
    size_t slot = 0;
    uint32_t id = 0;
    std::string name;     // in the process code page
    std::string address;  // "a.b.c.d"
    bool isHost = false;
};

class ChatDirectory {
public:
    // An empty room of slotCount slots (0 while the room is closed).
    void Reset(size_t slotCount);
    // The members in slot order.
    void Publish(std::vector<ChatMemberInfo> members);

    bool HasFreeSlot() const;
    // The slot of the first member with that id, or -1.
    int Find(uint32_t id) const;
    std::vector<ChatMemberInfo> Members() const;

private:
    mutable std::mutex m_lock;
    size_t m_slotCount = 0;
    std::vector<ChatMemberInfo> m_members;
};

}  // namespace sarvo
