#include "services/Webchat.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

#include "common/Text.h"
#include "platform/Notification.h"
#include "platform/Thread.h"
#include "platform/TickCount.h"
#include "server/AccessControl.h"
#include "services/ChatCommands.h"
#include "services/ChatQueue.h"
#include "services/ChatRoom.h"
#include "services/ChatText.h"

namespace sarvo {
namespace {

constexpr char kEveryone[] = "All";

std::mutex g_lifecycleLock;  // guards g_chatThread
std::thread g_chatThread;
std::atomic<bool> g_open{false};
std::atomic<bool> g_stop{false};
std::atomic<uint32_t> g_lastMemberId{0};
ChatQueue g_queue;
ChatDirectory g_directory;

void HandleSpeech(ChatRoom& room, const ChatMessage& message) {
    const int found = room.FindById(message.memberId);
    if (found < 0)
        return;
    const size_t sender = static_cast<size_t>(found);
    if (!message.speech.empty() && message.speech[0] == '!')
        return ExecuteChatCommand(room, sender, message.recipient, message.speech);
    const std::string html = FormatChatText(message.speech);
    const std::string& senderName = room.Slot(sender).name;
    int target = -1;
    if (!message.recipient.empty() && !EqualsIgnoreCase(message.recipient, kEveryone))
        target = room.FindByName(message.recipient);
    if (target < 0)
        return room.SendChatLineToAll(senderName, html, {});
    const std::string label =
        senderName + " (Private to " + room.Slot(static_cast<size_t>(target)).name + ")";
    room.SendPrivateLine(sender, static_cast<size_t>(target), label, html);
}

void HandleKick(ChatRoom& room, const ChatMessage& message) {
    const int found = room.FindById(message.memberId);
    if (found >= 0 && !room.Slot(static_cast<size_t>(found)).isHost) {
        ChatMember& member = room.Slot(static_cast<size_t>(found));
        sockaddr_in peer{};
        if (message.block && member.connection->GetAddress(peer, TcpSocket::AddressSide::Peer))
            AddToAutoBlockList(peer.sin_addr.s_addr);
        room.Drop(static_cast<size_t>(found));
    }
    // The list of the window that asked is read again once the others' lists are told to reload.
    room.FinishTurn();
    PostNotification(NotificationChannel::ChatWindow, CMD_WEBCHAT_MEMBERS_CHANGED, 0);
}

void Handle(ChatRoom& room, ChatMessage& message) {
    switch (message.code) {
        case CHAT_JOIN:
            room.Join(message.memberId, std::move(message.socket));
            break;
        case CHAT_SPEECH:
            HandleSpeech(room, message);
            break;
        case CHAT_KICK:
            HandleKick(room, message);
            break;
        default:
            break;
    }
    room.FinishTurn();
}

// The name under which tools that list threads show the chat thread.
constexpr char kChatThreadName[] = "SarvoChat";

void ChatThread(size_t slotCount) {
    NameCurrentThread(kChatThreadName);
    PostNotification(NotificationChannel::ChatWindow, CMD_WEBCHAT_STARTED, 0);
    {
        ChatRoom room(slotCount, g_directory);
        while (!g_stop.load()) {
            // Cleared before the queue is looked at, so a message pushed from now on wakes the wait.
            g_queue.ClearWake();
            while (std::optional<ChatMessage> message = g_queue.TryPop()) {
                Handle(room, *message);
                if (g_stop.load())
                    break;
            }
            room.ServiceMemberStreams();
            if (g_stop.load())
                break;
            room.WaitForWork(g_queue.WakeDescriptor());
        }
        // Nothing more is taken in; what was handed over and not handled is released.
        g_queue.Close();
        g_directory.Reset(0);
    }  // every stream closes with the room
    g_open.store(false);
    PostNotification(NotificationChannel::ChatWindow, CMD_WEBCHAT_STOPPED, 0);
}

// The room must be closed before the process ends: a running thread at exit would end it abnormally
// and leave its streams to the kernel.
struct CloseAtExit {
    ~CloseAtExit() {
        StopChatRoom();
        WaitForChatRoom();
    }
} g_closeAtExit;

}  // namespace

bool StartChatRoom(unsigned maxMembers) {
    std::lock_guard<std::mutex> hold(g_lifecycleLock);
    if (g_open.load())
        return true;
    if (g_chatThread.joinable())
        g_chatThread.join();
    if (!g_queue.CanWake())
        return false;
    const size_t slotCount = std::max(maxMembers, kMinChatMembers);
    g_directory.Reset(slotCount);
    g_stop.store(false);
    g_queue.Open();
    g_open.store(true);
    // No exceptions leave the core: a thread that cannot start leaves the room closed.
    try {
        g_chatThread = std::thread(ChatThread, slotCount);
    } catch (const std::system_error&) {
        g_open.store(false);
        g_queue.Close();
        g_directory.Reset(0);
    }
    return g_open.load();
}

void StopChatRoom() {
    g_stop.store(true);
    g_queue.Wake();
}

void WaitForChatRoom() {
    std::lock_guard<std::mutex> hold(g_lifecycleLock);
    if (g_chatThread.joinable())
        g_chatThread.join();
}

bool IsChatRoomOpen() {
    return g_open.load();
}

bool HasFreeChatSlot() {
    return g_directory.HasFreeSlot();
}

int FindChatMember(uint32_t id) {
    return g_directory.Find(id);
}

std::vector<ChatMemberInfo> CopyChatMembers() {
    return g_directory.Members();
}

void PostChatJoin(uint32_t id, std::unique_ptr<TcpSocket> socket) {
    ChatMessage message;
    message.code = CHAT_JOIN;
    message.memberId = id;
    message.socket = std::move(socket);
    g_queue.Push(std::move(message));
}

void PostChatSpeech(uint32_t id, std::string recipient, std::string speech) {
    ChatMessage message;
    message.code = CHAT_SPEECH;
    message.memberId = id;
    message.recipient = std::move(recipient);
    message.speech = std::move(speech);
    g_queue.Push(std::move(message));
}

void PostChatKick(uint32_t id, ChatKick kind) {
    ChatMessage message;
    message.code = CHAT_KICK;
    message.memberId = id;
    message.block = kind == ChatKick::Block;
    if (!g_queue.Push(std::move(message)))
        PostNotification(NotificationChannel::ChatWindow, CMD_WEBCHAT_MEMBERS_CHANGED, 0);
}

uint32_t NewChatMemberId() {
    const uint32_t now = TickCountMs();
    uint32_t last = g_lastMemberId.load();
    for (;;) {
        // Ahead of the last id in the wrapping order of tick counts: take it; otherwise the next one.
        uint32_t id = static_cast<int32_t>(now - last) > 0 ? now : last + 1;
        if (id == 0)
            id = 1;
        if (g_lastMemberId.compare_exchange_weak(last, id))
            return id;
    }
}

}  // namespace sarvo
