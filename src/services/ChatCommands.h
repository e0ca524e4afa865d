#pragma once

#include <cstddef>
#include <string_view>

// The commands members type into the chat room: a speech that begins with '!' is handled here, on the
// chat thread, instead of being said. Every answer is a line from the room to the sender.
namespace sarvo {

class ChatRoom;

// The longest name "!name=" accepts, and the characters it refuses.
inline constexpr size_t kChatNewNameLength = 30;
inline constexpr std::string_view kChatNameForbidden = "&<>:\\/'?|@*#\"";
// The most of a welcome message "!welcome=" stores.
inline constexpr size_t kChatWelcomeLength = 256;

// sender is the slot of the member who spoke; recipient is the name selected in its member list.
void ExecuteChatCommand(ChatRoom& room, size_t sender, std::string_view recipient, std::string_view speech);

}  // namespace sarvo
