#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "services/ChatDirectory.h"

// The Webchat room: the owner's controls (open, close, the member list, disconnect and block), the
// queries the routes and pages ask, and the hand-over of work from connection threads to the chat
// thread. One room per process; the chat thread alone changes its members and writes their streams.
namespace sarvo {

class TcpSocket;

// Posted on the chat window channel with argument 0: the room opened, it closed, and a disconnect
// asked for with PostChatKick is done.
inline constexpr uint32_t CMD_WEBCHAT_STARTED = 32802;
inline constexpr uint32_t CMD_WEBCHAT_STOPPED = 32803;
inline constexpr uint32_t CMD_WEBCHAT_MEMBERS_CHANGED = 32805;
// Posted on the main window channel when a guest asks for the host and no host is in the room: the
// front end opens ServerUrl() + kWebchatPagePath for the owner.
inline constexpr uint32_t CMD_OPEN_WEBCHAT_PAGE = 32811;
inline constexpr char kWebchatPagePath[] = "WebChat/";

// What the Start Webchat dialog offers and accepts.
inline constexpr unsigned kDefaultChatMembers = 16;
inline constexpr unsigned kMinChatMembers = 2;
inline constexpr unsigned kMaxChatMembers = 999;

// Opens the room with maxMembers slots (at least kMinChatMembers) unless it is open already. False
// when the chat thread could not start.
bool StartChatRoom(unsigned maxMembers);
// Asks the chat thread to close the room; it ends at once, closing every stream. The room counts as
// open until it has ended.
void StopChatRoom();
// Waits until the chat thread has ended (after StopChatRoom).
void WaitForChatRoom();

bool IsChatRoomOpen();
bool HasFreeChatSlot();
// The slot of the first member with that id, or -1.
int FindChatMember(uint32_t id);
// The members in slot order, copied for the caller.
std::vector<ChatMemberInfo> CopyChatMembers();

// Hand-overs to the chat thread. Each takes what it is given: when the room is not open the socket is
// closed and the texts dropped, and a kick reports CMD_WEBCHAT_MEMBERS_CHANGED at once.
void PostChatJoin(uint32_t id, std::unique_ptr<TcpSocket> socket);
void PostChatSpeech(uint32_t id, std::string recipient, std::string speech);
// Disconnects a member that is not a host, and with block also puts its address on the auto-block list.
enum class ChatKick { Disconnect, Block };
void PostChatKick(uint32_t id, ChatKick kind);

// A member id for a new frameset: the tick count, or the next free number when the tick count was
// given out already.
uint32_t NewChatMemberId();

}  // namespace sarvo
