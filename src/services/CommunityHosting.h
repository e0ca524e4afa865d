#pragma once

#include <optional>
#include <string>
#include <string_view>

// The host side of the web community: member servers log in with their name, address and
// description, and the community page lists them (and, on a server that is also a member, the
// communities it belongs to).
namespace sarvo {

class ConnectionContext;
class HttpResponse;
struct ResolvedPath;

// The reasons a login is refused, sent after "rejected".
inline constexpr char kLoginNotSupported[] = "Not Supported";
inline constexpr char kLoginBadParameters[] = "Bad Login Parameters";
inline constexpr char kLoginMemberIdNotExists[] = "Member ID Not Exists";

// Decoded ID values are cut at this many characters, the other fields at the text field's limit.
inline constexpr size_t kLoginIdDecodeLimit = 32;
// A member's address shorter than this is refused.
inline constexpr size_t kLoginUrlMinLength = 12;

// The value after the first occurrence of key (e.g. "name=") anywhere in the raw query: '+' is a blank,
// '%' and the two characters after it are the byte they spell in hexadecimal, every other byte is
// itself; it ends at '&', the end of the query, or after limit bytes; then blanks are trimmed.
// nullopt when key does not occur.
std::optional<std::string> FindLoginValue(std::string_view query, std::string_view key, size_t limit);

// Checks a login's query (as received, undecoded) and stores it when it is good. Returns the reason
// of a refusal, or nullptr when the login was accepted.
const char* AcceptCommunityLogin(std::string_view query);

// The plain-text reply: "rejected" and the reason, or "accepted" with the community's name, the
// address of its page and its description, one per line.
std::string CommunityLoginReplyBody(const char* refusal);

// The community page, from fresh reads of the settings and the records.
void BuildCommunityPage(HttpResponse& response);

// Route handlers.
int HandleCommunityLogin(ConnectionContext& connection, const ResolvedPath& path);
int SendCommunityPage(ConnectionContext& connection, const ResolvedPath& path);

}  // namespace sarvo
