#include "app/ServeChatRoom.h"

#include <cstdlib>

#include "app/CliArguments.h"
#include "common/Format.h"
#include "server/HttpServer.h"
#include "services/Webchat.h"

namespace sarvo::cli {

bool ChatRoomSizeFromOption(const ParsedArguments& parsed, unsigned& maxMembers, std::string& error) {
    const std::string& value = parsed.Value(kWebchatOption);
    if (value.empty()) {
        maxMembers = kDefaultChatMembers;
        return true;
    }
    char* end = nullptr;
    const unsigned long number = std::strtoul(value.c_str(), &end, 10);
    if (*end != '\0' || value[0] < '0' || value[0] > '9' || number < kMinChatMembers ||
        number > kMaxChatMembers) {
        error = Format("--webchat takes a member count from %u to %u", kMinChatMembers, kMaxChatMembers);
        return false;
    }
    maxMembers = static_cast<unsigned>(number);
    return true;
}

ServeChatRoom::ServeChatRoom(unsigned maxMembers) : m_opened(StartChatRoom(maxMembers)) {}

ServeChatRoom::~ServeChatRoom() {
    StopChatRoom();
    WaitForChatRoom();
}

std::string WebchatPageLine() {
    return ServerUrl() + kWebchatPagePath + "\n";
}

}  // namespace sarvo::cli
