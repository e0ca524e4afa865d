#include "services/ChatRoom.h"

#include <algorithm>
#include <limits>

#include "common/Format.h"
#include "common/Text.h"
#include "common/TextHolder.h"
#include "platform/Poll.h"
#include "platform/Socket.h"
#include "platform/TickCount.h"
#include "platform/WinsockError.h"
#include "server/Chunk.h"
#include "server/LocalClient.h"
#include "services/ChatText.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

// Keep-alives that fall due close together are sent in one wake rather than one wake each.
constexpr int kKeepAliveSlackMs = 100;
// A browser has nothing to send on its output stream; what one sends anyway is read and dropped, this
// much per member and turn so that one sender cannot hold up the thread.
constexpr size_t kDrainBlock = 4096;
constexpr int kDrainBlocksPerTurn = 16;
constexpr char kKeepAliveText[] = " ";

std::string AddressText(const TcpSocket& socket) {
    sockaddr_in peer{};
    if (!socket.GetAddress(peer, TcpSocket::AddressSide::Peer))
        return std::string();
    const auto* bytes = reinterpret_cast<const unsigned char*>(&peer.sin_addr.s_addr);
    return Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

}  // namespace

ChatRoom::ChatRoom(size_t slotCount, ChatDirectory& directory) : m_slots(slotCount), m_directory(directory) {}

int ChatRoom::FindById(uint32_t id) const {
    for (size_t index = 0; index < m_slots.size(); ++index) {
        if (m_slots[index].InUse() && m_slots[index].id == id)
            return static_cast<int>(index);
    }
    return -1;
}

int ChatRoom::FindByName(std::string_view name) const {
    for (size_t index = 0; index < m_slots.size(); ++index) {
        if (m_slots[index].InUse() && EqualsIgnoreCase(m_slots[index].name, name))
            return static_cast<int>(index);
    }
    return -1;
}

int ChatRoom::FindHost() const {
    for (size_t index = 0; index < m_slots.size(); ++index) {
        if (m_slots[index].InUse() && m_slots[index].isHost)
            return static_cast<int>(index);
    }
    return -1;
}

void ChatRoom::Join(uint32_t id, std::unique_ptr<TcpSocket> socket) {
    auto free = std::find_if(m_slots.begin(), m_slots.end(), [](const ChatMember& m) { return !m.InUse(); });
    if (free == m_slots.end())
        return;  // the socket closes with its object
    const size_t index = static_cast<size_t>(free - m_slots.begin());
    ChatMember& member = *free;
    member = ChatMember{};
    member.id = id;
    member.name = Format("Guest%lu", static_cast<unsigned long>(id));
    SetNoDelay(socket->Handle());
    socket->SetBlocking(false);
    member.isHost = IsLocalClient(*socket);
    member.address = AddressText(*socket);
    member.connection = std::move(socket);
    m_tableChanged = true;

    member.connection->QueueSendText(ComposeChatStreamHead());
    QueueChunkTo(index, ChatWelcomeHead());
    SendChatTitle(index);
    const std::string welcome = ComposeWelcomeMessage(GetWebChatWelcomeMsg());
    if (!welcome.empty())
        QueueChunkTo(index, welcome);
    ReloadMemberLists();
}

void ChatRoom::Drop(size_t index) {
    ChatMember& member = m_slots[index];
    if (!member.InUse())
        return;
    member = ChatMember{};
    m_memberLeft = true;
    m_tableChanged = true;
}

void ChatRoom::Rename(size_t index, std::string name) {
    m_slots[index].name = std::move(name);
    m_tableChanged = true;
}

uint32_t ChatRoom::NextLineId() {
    // Lines in the same millisecond must still name different elements of the page.
    const uint32_t now = TickCountMs();
    m_lastLineId = static_cast<int32_t>(now - m_lastLineId) > 0 ? now : m_lastLineId + 1;
    if (m_lastLineId == 0)
        m_lastLineId = 1;
    return m_lastLineId;
}

void ChatRoom::QueueUtf8ChunkTo(size_t index, std::string_view utf8Text) {
    ChatMember& member = m_slots[index];
    if (!member.InUse())
        return;
    QueueChunk(*member.connection, utf8Text.data(), utf8Text.size());
    if (member.connection->SendFill() > kChatMaxPendingBytes)
        Drop(index);
}

void ChatRoom::QueueChunkTo(size_t index, std::string_view ansiText) {
    QueueUtf8ChunkTo(index, AnsiToUtf8(ansiText).Str());
}

void ChatRoom::SendChatLine(size_t index, std::string_view label, std::string_view html,
                            std::string_view script) {
    QueueChunkTo(index, ComposeChatLine(NextLineId(), label, html, script));
}

void ChatRoom::SendChatLineToAll(std::string_view label, std::string_view html, std::string_view script) {
    // One line, converted once, to every member.
    const AnsiToUtf8 line(ComposeChatLine(NextLineId(), label, html, script));
    for (size_t index = 0; index < m_slots.size(); ++index)
        QueueUtf8ChunkTo(index, line.Str());
}

void ChatRoom::SendPrivateLine(size_t sender, size_t target, std::string_view label, std::string_view html) {
    const AnsiToUtf8 line(ComposeChatLine(NextLineId(), label, html, {}));
    for (size_t index = 0; index < m_slots.size(); ++index) {
        if (index == sender || index == target)
            QueueUtf8ChunkTo(index, line.Str());
    }
}

void ChatRoom::SendChatTitle(size_t index) {
    QueueChunkTo(index, ComposeChatTitle(m_slots[index].name));
}

void ChatRoom::ReloadMemberLists() {
    const AnsiToUtf8 reload(ComposeReloadList());
    for (size_t index = 0; index < m_slots.size(); ++index)
        QueueUtf8ChunkTo(index, reload.Str());
}

void ChatRoom::FinishTurn() {
    // A reload can drop a member that is over its limit, which asks for another reload; each round
    // drops at least one member, so this ends.
    while (m_memberLeft) {
        m_memberLeft = false;
        ReloadMemberLists();
    }
    if (!m_tableChanged)
        return;
    m_tableChanged = false;
    std::vector<ChatMemberInfo> members;
    for (size_t index = 0; index < m_slots.size(); ++index) {
        const ChatMember& member = m_slots[index];
        if (member.InUse())
            members.push_back({index, member.id, member.name, member.address, member.isHost});
    }
    m_directory.Publish(std::move(members));
}

void ChatRoom::ServiceMemberStreams() {
    const uint32_t now = TickCountMs();
    for (size_t index = 0; index < m_slots.size(); ++index) {
        ChatMember& member = m_slots[index];
        if (!member.InUse())
            continue;
        if (member.connection->SendFill() == 0) {
            if (member.lastSend == 0) {
                member.lastSend = now;
                continue;
            }
            if (now - member.lastSend < kChatKeepAliveMs)
                continue;
            QueueChunkTo(index, kKeepAliveText);
        }
        const int sent = member.connection->SendSome(0);
        if (sent < 0)
            Drop(index);
        else if (sent > 0)
            member.lastSend = now == 0 ? 1 : now;
    }
    FinishTurn();
}

int ChatRoom::KeepAliveWaitMs() const {
    const uint32_t now = TickCountMs();
    int wait = -1;
    for (const ChatMember& member : m_slots) {
        if (!member.InUse() || member.connection->SendFill() > 0)
            continue;
        const uint32_t idle = member.lastSend == 0 ? kChatKeepAliveMs : now - member.lastSend;
        const int due = idle >= kChatKeepAliveMs ? 0 : static_cast<int>(kChatKeepAliveMs - idle);
        const int step = std::max(due, kKeepAliveSlackMs);
        wait = wait < 0 ? step : std::min(wait, step);
    }
    return wait;
}

bool ChatRoom::DrainInput(ChatMember& member) {
    char discard[kDrainBlock];
    for (int block = 0; block < kDrainBlocksPerTurn; ++block) {
        const int received = Recv(member.connection->Handle(), discard, sizeof discard);
        if (received == -kWsaEWouldBlock)
            return true;
        if (received <= 0)
            return false;
    }
    return true;
}

void ChatRoom::WaitForWork(int wakeDescriptor) {
    m_polled.clear();
    m_polledSlots.clear();
    m_polled.push_back({wakeDescriptor, POLLIN, 0});
    for (size_t index = 0; index < m_slots.size(); ++index) {
        const ChatMember& member = m_slots[index];
        if (!member.InUse())
            continue;
        short events = POLLIN | POLLRDHUP;
        if (member.connection->SendFill() > 0)
            events |= POLLOUT;
        m_polled.push_back({member.connection->Handle(), events, 0});
        m_polledSlots.push_back(index);
    }
    if (PollDescriptors(m_polled, KeepAliveWaitMs()) <= 0)
        return;
    for (size_t entry = 1; entry < m_polled.size(); ++entry) {
        if (!(m_polled[entry].revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)))
            continue;
        const size_t index = m_polledSlots[entry - 1];
        if (!DrainInput(m_slots[index]))
            Drop(index);
    }
    FinishTurn();
}

}  // namespace sarvo
