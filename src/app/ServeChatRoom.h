#pragma once

#include <string>

// The chat room of `sarvo-cli serve --webchat[=MAX]`: opened once the server listens, closed before
// the server stops.
namespace sarvo::cli {

class ParsedArguments;

inline constexpr char kWebchatOption[] = "--webchat";

// The room's size from the option's value: kDefaultChatMembers when it has none. False with a message
// when the value is not a number from kMinChatMembers to kMaxChatMembers.
bool ChatRoomSizeFromOption(const ParsedArguments& parsed, unsigned& maxMembers, std::string& error);

// Opens the room while it lives; closes it, waiting for the chat thread, when destroyed.
class ServeChatRoom {
public:
    explicit ServeChatRoom(unsigned maxMembers);
    ~ServeChatRoom();
    ServeChatRoom(const ServeChatRoom&) = delete;
    ServeChatRoom& operator=(const ServeChatRoom&) = delete;

    bool Opened() const { return m_opened; }

private:
    bool m_opened;
};

// The line serve prints when a guest asks for the host: the chat page's address.
std::string WebchatPageLine();

}  // namespace sarvo::cli
