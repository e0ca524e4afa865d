#pragma once

#include <string>
#include <string_view>

// What the Webchat folder answers on a connection thread: the frameset and its list and input frames,
// the notices, a member's posted line, and the hand-over of an output stream to the chat thread.
namespace sarvo {

class ConnectionContext;
struct ResolvedPath;

// The most of a posted line that is read.
inline constexpr size_t kChatSpeechBodyLimit = 65536;
// A body that has not all arrived after this long is given up without an answer.
inline constexpr int kChatSpeechTimeLimitMs = 30'000;

inline constexpr char kChatNotOpenText[] = "Chat Room Not Open";
inline constexpr char kChatFullText[] = "Chat Room Full";
inline constexpr char kNotInRoomText[] = "You are not in the chat room.";

int SendWebchatFrameset(ConnectionContext& connection, const ResolvedPath& path);
int SendWebchatInput(ConnectionContext& connection, const ResolvedPath& path);
int SendWebchatList(ConnectionContext& connection, const ResolvedPath& path);
int SendWebchatNotice(ConnectionContext& connection, std::string_view text);
int SendWebchatNotOpen(ConnectionContext& connection, const ResolvedPath& path);
int SendWebchatFull(ConnectionContext& connection, const ResolvedPath& path);
int PostWebchatSpeech(ConnectionContext& connection, const ResolvedPath& path);
// The connection's socket goes to the chat thread, which answers on it from now on.
int HandOverWebchatOutput(ConnectionContext& connection, const ResolvedPath& path);

// Registers the Webchat folder's handlers and the room's state with the routes.
void RegisterWebchatHandlers();

// The value of the first "key=" in a posted form body, up to the next '&': '+' is a blank and '%'
// with two hexadecimal digits the byte they give. False when the key is not there.
bool FindFormValue(std::string_view body, std::string_view key, std::string& value);

}  // namespace sarvo
