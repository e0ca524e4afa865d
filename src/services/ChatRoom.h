#pragma once

#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/TcpSocket.h"
#include "services/ChatDirectory.h"

// The chat room as its own thread holds it: the member table and every member's output stream. Only
// the chat thread touches an object of this class; other threads read the directory it publishes.
namespace sarvo {

// The most a name may hold (the stored field has room for one more character and its NUL).
inline constexpr size_t kChatNameLength = 31;
// An idle stream gets a chunk of one blank after this long, which also finds browsers that left.
inline constexpr uint32_t kChatKeepAliveMs = 5000;
// A member that does not read its stream is dropped once this much waits to be sent to it, so that it
// costs the others nothing.
inline constexpr size_t kChatMaxPendingBytes = 4 * 1024 * 1024;

struct ChatMember {
    uint32_t id = 0;
    std::string name;                       // in the process code page, at most kChatNameLength characters
    std::string address;                    // "a.b.c.d"
    std::unique_ptr<TcpSocket> connection;  // null while the slot is free
    uint32_t lastSend = 0;                  // tick count of the last successful send, 0 = not yet
    bool isHost = false;                    // the browser runs on this computer

    bool InUse() const { return connection != nullptr; }
};

class ChatRoom {
public:
    ChatRoom(size_t slotCount, ChatDirectory& directory);
    // Destroying the room closes every stream.
    ChatRoom(const ChatRoom&) = delete;
    ChatRoom& operator=(const ChatRoom&) = delete;

    size_t SlotCount() const { return m_slots.size(); }
    ChatMember& Slot(size_t index) { return m_slots[index]; }
    // The first slot in use with that id or name (names without regard to case), or -1.
    int FindById(uint32_t id) const;
    int FindByName(std::string_view name) const;
    int FindHost() const;

    // Takes a new member into the first free slot and starts its stream; without a free slot the
    // socket is closed.
    void Join(uint32_t id, std::unique_ptr<TcpSocket> socket);
    // Closes the member's stream and frees its slot; the others' lists reload at the end of the turn.
    void Drop(size_t index);
    // Stores a new name; the directory follows at the end of the turn.
    void Rename(size_t index, std::string name);

    // One chat line to one member, or to every member.
    void SendChatLine(size_t index, std::string_view label, std::string_view html, std::string_view script);
    void SendChatLineToAll(std::string_view label, std::string_view html, std::string_view script);
    // A line from a member to one other member: both get it, in slot order.
    void SendPrivateLine(size_t sender, size_t target, std::string_view label, std::string_view html);
    void SendChatTitle(size_t index);
    void ReloadMemberLists();

    // Ends a turn of work: reloads the lists when members left and publishes the table when it changed.
    void FinishTurn();
    // Sends what is queued, without waiting, and queues the keep-alives that are due; drops members
    // whose streams failed.
    void ServiceMemberStreams();
    // Waits until the wake descriptor is readable, a stream can take its pending bytes, a member's
    // browser sends or leaves, or the next keep-alive is due. Members that left are dropped.
    void WaitForWork(int wakeDescriptor);

private:
    // Converts the text to UTF-8 and queues it as one chunk; a member over the pending limit is dropped.
    void QueueChunkTo(size_t index, std::string_view ansiText);
    // Queues an already converted chunk.
    void QueueUtf8ChunkTo(size_t index, std::string_view utf8Text);
    // A line id from the tick count that no earlier line of this room has.
    uint32_t NextLineId();
    // Reads and drops what a member's browser sent; false when it has gone.
    bool DrainInput(ChatMember& member);
    int KeepAliveWaitMs() const;

    std::vector<ChatMember> m_slots;
    ChatDirectory& m_directory;
    std::vector<pollfd> m_polled;
    std::vector<size_t> m_polledSlots;
    uint32_t m_lastLineId = 0;
    bool m_memberLeft = false;
    bool m_tableChanged = true;
};

}  // namespace sarvo
