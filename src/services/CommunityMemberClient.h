#pragma once

#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "services/CommunityStore.h"

// The member side of the web community: one login to one host over HTTP, its reply read and its
// outcome stored in the host's record.
namespace sarvo {

// The texts a failed login leaves as the host's description.
inline constexpr char kLoginFailInvalidLoginUrl[] = "Invalid Login URL";
inline constexpr char kLoginFailInvalidMemberUrl[] = "Invalid Member URL";
inline constexpr char kLoginFailOutOfMemory[] = "Out of Memory";
inline constexpr char kLoginFailSocket1[] = "Socket Error 1";
inline constexpr char kLoginFailSocket2[] = "Socket Error 2";
inline constexpr char kLoginFailConnect[] = "Can not connect to %s";
inline constexpr char kLoginFailDisconnected[] = "Disconected by Host";
inline constexpr char kLoginFailStatus[] = "Unknown Status Code From Host";
inline constexpr char kLoginFailInvalidReply[] = "Invalid Reply From Host";

// An accepted reply's host name must be shorter than this, its page and description shorter than
// the text field.
inline constexpr size_t kHostNameLimit = 32;
// A reply (header and body) larger than this is refused as invalid.
inline constexpr size_t kLoginReplyLimit = 64 * 1024;
// From the moment the connection is made, a login ends within this time.
inline constexpr std::chrono::milliseconds kLoginDeadline{60'000};
// The receive waits, so that the deadline and a stop are seen this often.
inline constexpr int kLoginReceiveStepMs = 1000;
inline constexpr uint16_t kDefaultHttpPort = 80;

struct LoginUrlParts {
    std::string hostName;
    uint32_t address = 0;  // network byte order
    uint16_t port = kDefaultHttpPort;
    std::string path;  // from the first '/' after the host name and port on; "" when none
};

// A scheme is required (without any ':' there is no host name); ':', '/' and '\' after it are
// skipped; the host name ends at '/', '\', ':' or the end and is resolved to its first IPv4 address;
// a ':' after it brings a decimal port. False when there is no host name or it does not resolve.
bool ParseLoginUrl(std::string_view url, LoginUrlParts& out);

// The login query's form encoding, appended to out: letters, digits, '-', '.' and '_' stay, a blank
// becomes '+', every other byte "%XX" in upper-case hexadecimal. Bytes are taken as they are stored.
void EncodeQueryValue(std::string_view text, std::string& out);

// The request line and header of one login, for the given address of this server (ending in '/').
std::string BuildLoginRequest(const CommunityHost& host, const LoginUrlParts& url,
                              std::string_view serverUrl);

// This server's own address as hosts should link to it ("http://a.b.c.d[:port]/"): the running
// server's, else the one the settings give; "" when it cannot be formed.
std::string CommunityServerUrl();

struct LoginOutcome {
    enum class Kind { Accepted, Failed, Stopped };
    Kind kind = Kind::Failed;
    std::string text;  // the host's name when accepted, else what was stored as its description
};

// Clears the Host fields, puts the text (cut to the field) into the Host Description and stores them.
void SetLoginFailure(CommunityHost& host, std::string_view text);

// One login to the host of the record with this server's address; the outcome is stored in the record
// (a stop asked for through the token ends the login without storing anything).
LoginOutcome LoginToCommunity(CommunityHost& host, std::string_view serverUrl, std::stop_token stop = {});

// Tests shorten the deadline instead of waiting a minute; zero restores kLoginDeadline.
void SetLoginDeadlineForTesting(std::chrono::milliseconds deadline);

}  // namespace sarvo
