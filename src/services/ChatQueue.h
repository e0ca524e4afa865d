#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Poll.h"
#include "server/TcpSocket.h"

// The work that connection threads and the owner hand to the chat thread. Each message owns what it
// carries, so a message that is never handled (the room closed first) releases its socket and texts
// when it is destroyed.
namespace sarvo {

inline constexpr uint32_t CHAT_JOIN = 1000;
inline constexpr uint32_t CHAT_SPEECH = 1001;
inline constexpr uint32_t CHAT_KICK = 1002;

struct ChatMessage {
    uint32_t code = 0;
    uint32_t memberId = 0;
    std::unique_ptr<TcpSocket> socket;  // CHAT_JOIN: the output stream's connection
    std::string recipient;              // CHAT_SPEECH, in the process code page
    std::string speech;                 // CHAT_SPEECH, in the process code page
    bool block = false;                 // CHAT_KICK: also put the member's address on the block list
};

// A first-in first-out queue with a wake signal the chat thread polls beside its sockets.
class ChatQueue {
public:
    // Starts taking messages.
    void Open();
    // Stops taking messages and releases every one still queued.
    void Close();

    // False (and the message released at once) when the queue is closed.
    bool Push(ChatMessage message);
    std::optional<ChatMessage> TryPop();

    // Readable while a message waits (or a wake was asked for); the chat thread clears it before it
    // looks at the queue, so a push after the clear wakes it again.
    int WakeDescriptor() const { return m_wake.Descriptor(); }
    // False when the system gave no wake descriptor (no descriptors left): the thread could not be woken.
    bool CanWake() const { return m_wake.IsValid(); }
    void ClearWake() { m_wake.Clear(); }
    void Wake() { m_wake.Raise(); }

private:
    std::mutex m_lock;
    std::deque<ChatMessage> m_messages;
    bool m_open = false;
    WakeSignal m_wake;
};

}  // namespace sarvo
