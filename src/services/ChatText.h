#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The pieces of HTML the chat room writes into its output streams, as pure functions over texts in
// the process code page. The chat thread converts each piece to UTF-8 when it queues it as a chunk.
namespace sarvo {

// Lines of the room itself carry this label and are shown in red, as are lines labelled with the
// second reserved name.
inline constexpr char kRoomLabel[] = "Sarvo";
inline constexpr char kReservedRoomName[] = "Zazuvov1";

// Every name quoted in a room reply is wrapped in this and "</font>".
inline constexpr char kMemberNameFont[] = "<font style=\"text-decoration:underline;color:#FFA500\">";

// The script that makes a member's browser reload its member list frame.
inline constexpr char kReloadListScript[] = "parent.list.document.location.reload();";
// The script that puts the focus into the input frame of a member whose attention is asked for.
inline constexpr char kFocusInputScript[] = "parent.input.focus();";

// Turns a visitor's chat text into HTML: web addresses ("http:" or "https:" and on to the first
// NUL, CR, LF, TAB or blank) become links that open a new window, LF becomes a line break, CR is
// dropped, and the rest is escaped. Inside a link's href only the characters that would end the
// attribute or the tag ('"', '\'', '<', '>') are percent-encoded, so an address keeps its '&'.
void FormatChatText(std::string_view text, std::string& out);
std::string FormatChatText(std::string_view text);

// One chat line: an element with the line id, the label in bold (red for the room's own labels), the
// HTML, and a script that scrolls the line into view and then runs script.
std::string ComposeChatLine(uint32_t lineId, std::string_view label, std::string_view html,
                            std::string_view script);

// The script that sets the browser window's title to the member's name.
std::string ComposeChatTitle(std::string_view name);

// A name of a member (already escaped where it came from a visitor) in the name font.
std::string NameInFont(std::string_view name);

// The start of every output stream: the raw response header with the current date.
std::string ComposeChatStreamHead();
// The first chunk of every output stream: the welcome page head with the list of commands.
const std::string& ChatWelcomeHead();
// The welcome message chunk, or "" when the message is empty once trimmed.
std::string ComposeWelcomeMessage(std::string_view message);
// The chunk that makes every member's list frame reload.
std::string ComposeReloadList();

}  // namespace sarvo
