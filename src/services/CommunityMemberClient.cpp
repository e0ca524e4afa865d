#include "services/CommunityMemberClient.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <optional>

#include "common/Format.h"
#include "common/Text.h"
#include "common/Url.h"
#include "platform/LocalAddresses.h"
#include "server/HttpServer.h"
#include "server/TcpSocket.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

constexpr char kHeaderEnd[] = "\r\n\r\n";
constexpr char kChunkedEnd[] = "\r\n0\r\n\r\n";
constexpr size_t kChunkedEndLength = sizeof kChunkedEnd - 1;
constexpr unsigned kStatusOk = 200;

std::atomic<int64_t> g_deadlineOverrideMs{0};

std::chrono::milliseconds LoginDeadline() {
    int64_t overrideMs = g_deadlineOverrideMs.load();
    return overrideMs > 0 ? std::chrono::milliseconds(overrideMs) : kLoginDeadline;
}

bool IsUrlSeparator(char c) {
    return c == ':' || c == '/' || c == '\\';
}

bool ResolveIpv4(const std::string& hostName, uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostName.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

// The decimal number at the front of text (after blanks and tabs); 0 when there is none.
uint64_t ReadDecimal(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    uint64_t number = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && number < UINT32_MAX; ++at)
        number = number * 10 + static_cast<uint64_t>(text[at] - '0');
    return number;
}

// The hexadecimal number at position at; at is left after its digits.
size_t ReadHex(std::string_view text, size_t& at) {
    size_t number = 0;
    for (; at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at])) && number < UINT32_MAX;
         ++at) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
        number = number * 16 + static_cast<size_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return number;
}

unsigned ReadStatus(std::string_view header) {
    size_t at = 0;
    while (at < header.size() && !IsBlank(header[at]))
        ++at;
    return static_cast<unsigned>(ReadDecimal(header.substr(at)));
}

// The chunks' data, read as the host frames them; the position stops before the last 7 bytes, which
// are the closing zero chunk.
std::string DecodeChunked(std::string_view body) {
    std::string data;
    size_t at = 0;
    const size_t end = body.size() - kChunkedEndLength;
    while (at < end) {
        size_t size = ReadHex(body, at);
        while (at < body.size() && (body[at] == ' ' || body[at] == '\t'))
            ++at;
        for (int skipped = 0; skipped < 2 && at < body.size() && (body[at] == '\r' || body[at] == '\n');
             ++skipped)
            ++at;
        size_t copied = std::min(size, body.size() - at);
        data.append(body.substr(at, copied));
        at += copied + 2;
    }
    return data;
}

// One login's connection: everything after the connect is bounded by the deadline and watches the
// stop token.
class LoginExchange {
public:
    explicit LoginExchange(std::stop_token stop) : m_stop(std::move(stop)) {}

    // nullopt on success, else the failure text.
    std::optional<std::string> Connect(const LoginUrlParts& url) {
        if (m_socket.Create() < 0)
            return kLoginFailSocket1;
        if (m_socket.SetBlocking(false) < 0)
            return kLoginFailSocket2;
        if (m_socket.Connect(url.address, url.port, true, m_stop) < 0)
            return Format(kLoginFailConnect, url.hostName.c_str());
        m_deadline = std::chrono::steady_clock::now() + LoginDeadline();
        return std::nullopt;
    }

    std::optional<std::string> Send(const std::string& request) {
        size_t before = m_socket.SendFill();
        if (m_socket.QueueSendText(request) != before + request.size())
            return kLoginFailOutOfMemory;
        while (m_socket.SendFill() > 0) {
            if (std::optional<std::string> late = Late())
                return late;
            if (m_socket.SendSome(StepMs()) < 0)
                return kLoginFailDisconnected;
        }
        return std::nullopt;
    }

    // Receives until the held bytes satisfy done; more than limit bytes make the reply invalid, even
    // when the receive that brought them also completed it.
    template <typename Done>
    std::optional<std::string> ReceiveUntil(Done done, size_t limit) {
        for (;;) {
            if (m_socket.ReceivedData().size() > limit)
                return kLoginFailInvalidReply;
            if (done(m_socket.ReceivedData()))
                return std::nullopt;
            if (std::optional<std::string> late = Late())
                return late;
            if (m_socket.ReceiveSome(StepMs()) < 0)
                return kLoginFailDisconnected;
        }
    }

    TcpSocket& Socket() { return m_socket; }
    bool Stopped() const { return m_stop.stop_requested(); }

private:
    std::optional<std::string> Late() const {
        if (m_stop.stop_requested() || std::chrono::steady_clock::now() >= m_deadline)
            return kLoginFailDisconnected;
        return std::nullopt;
    }

    int StepMs() const {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline -
                                                                          std::chrono::steady_clock::now());
        return static_cast<int>(std::clamp<int64_t>(left.count(), 1, kLoginReceiveStepMs));
    }

    TcpSocket m_socket;
    std::stop_token m_stop;
    std::chrono::steady_clock::time_point m_deadline;
};

// The reply's body, or the failure text.
struct BodyOrFailure {
    std::string body;
    std::optional<std::string> failure;
};

BodyOrFailure ReadReplyBody(LoginExchange& exchange) {
    auto hasHeaderEnd = [](std::string_view held) { return held.find(kHeaderEnd) != std::string_view::npos; };
    if (std::optional<std::string> failure = exchange.ReceiveUntil(hasHeaderEnd, kLoginReplyLimit))
        return {{}, failure};
    TcpSocket& socket = exchange.Socket();
    size_t headerLength = socket.ReceivedData().find(kHeaderEnd) + 4;
    std::string header = ToLowerAscii(socket.ReceivedData().substr(0, headerLength));
    socket.ConsumeReceived(headerLength);
    const size_t bodyLimit = kLoginReplyLimit - std::min(headerLength, kLoginReplyLimit);

    if (ReadStatus(header) != kStatusOk)
        return {{}, kLoginFailStatus};
    bool chunked = false;
    uint64_t length = 0;
    if (size_t at = header.find("content-length:"); at != std::string::npos) {
        length = ReadDecimal(std::string_view(header).substr(at + 15));
        chunked = length == 0;
    } else if (size_t te = header.find("transfer-encoding:"); te != std::string::npos) {
        std::string_view value = std::string_view(header).substr(te + 18);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        chunked = value.starts_with("chunked");
    }
    if (!chunked && length == 0)
        return {{}, kLoginFailInvalidReply};
    if (!chunked) {
        if (length > bodyLimit)
            return {{}, kLoginFailInvalidReply};
        auto complete = [length](std::string_view held) { return held.size() >= length; };
        if (std::optional<std::string> failure = exchange.ReceiveUntil(complete, bodyLimit))
            return {{}, failure};
        return {std::string(socket.ReceivedData().substr(0, length)), std::nullopt};
    }
    auto lastChunk = [](std::string_view held) {
        return held.size() > kChunkedEndLength && held.ends_with(kChunkedEnd);
    };
    if (std::optional<std::string> failure = exchange.ReceiveUntil(lastChunk, bodyLimit))
        return {{}, failure};
    return {DecodeChunked(socket.ReceivedData()), std::nullopt};
}

// The text up to the next CR LF from at (or the end), trimmed; at moves behind the CR LF. ended tells
// whether a CR LF was there.
std::string NextLine(std::string_view body, size_t& at, bool& ended) {
    size_t end = body.find("\r\n", at);
    ended = end != std::string_view::npos;
    if (!ended)
        end = body.size();
    std::string line = TrimmedCopy(body.substr(at, end - at));
    at = ended ? end + 2 : body.size();
    return line;
}

LoginOutcome Fail(CommunityHost& host, std::string_view text) {
    SetLoginFailure(host, text);
    return {LoginOutcome::Kind::Failed, host.hostDescription};
}

LoginOutcome TakeReply(CommunityHost& host, std::string_view body) {
    size_t firstBreak = body.find("\r\n");
    if (firstBreak == std::string_view::npos)
        return Fail(host, kLoginFailInvalidReply);
    size_t at = 0;
    bool ended = false;
    std::string word = NextLine(body, at, ended);
    if (!EqualsIgnoreCase(word, "accepted")) {
        std::string reason = NextLine(body, at, ended);
        return Fail(host, reason);
    }
    bool nameEnded = false;
    bool pageEnded = false;
    std::string name = NextLine(body, at, nameEnded);
    std::string page = NextLine(body, at, pageEnded);
    std::string description = NextLine(body, at, ended);
    if (!nameEnded || !pageEnded || name.size() >= kHostNameLimit || page.size() >= kCommunityTextMax ||
        description.size() >= kCommunityTextMax)
        return Fail(host, kLoginFailInvalidReply);
    host.hostName = name;
    host.hostPage = page;
    host.hostDescription = description;
    host.lastLogin = GetLocalTime();
    StoreHostLoginOutcome(host);
    return {LoginOutcome::Kind::Accepted, name};
}

}  // namespace

bool ParseLoginUrl(std::string_view url, LoginUrlParts& out) {
    size_t at = url.find(':');
    if (at == std::string_view::npos)
        return false;
    while (at < url.size() && IsUrlSeparator(url[at]))
        ++at;
    size_t nameEnd = at;
    while (nameEnd < url.size() && !IsUrlSeparator(url[nameEnd]))
        ++nameEnd;
    out.hostName.assign(url.substr(at, nameEnd - at));
    if (out.hostName.empty() || !ResolveIpv4(out.hostName, out.address))
        return false;
    out.port = kDefaultHttpPort;
    if (nameEnd < url.size() && url[nameEnd] == ':')
        out.port = static_cast<uint16_t>(ReadDecimal(url.substr(nameEnd + 1)));
    size_t pathAt = url.find('/', nameEnd);
    out.path.assign(pathAt == std::string_view::npos ? std::string_view() : url.substr(pathAt));
    return true;
}

void EncodeQueryValue(std::string_view text, std::string& out) {
    for (char c : text) {
        // ASCII ranges rather than isalnum, whose answer for bytes above 127 depends on the locale.
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_';
        if (unreserved)
            out.push_back(c);
        else if (c == ' ')
            out.push_back('+');
        else
            out += Format("%%%02X", unsigned{static_cast<unsigned char>(c)});
    }
}

std::string BuildLoginRequest(const CommunityHost& host, const LoginUrlParts& url,
                              std::string_view serverUrl) {
    std::string request = "GET ";
    request += url.path.empty() ? "/" : url.path;
    request += "?id=";
    EncodeQueryValue(host.id, request);
    request += "&name=";
    EncodeQueryValue(host.memberName, request);
    request += "&url=";
    EncodeQueryValue(std::string(serverUrl) + host.page, request);
    request += "&desc=";
    EncodeQueryValue(host.memberDescription, request);
    if (!host.icon.empty()) {
        request += "&icon=";
        EncodeQueryValue(std::string(serverUrl) + host.icon, request);
    }
    request += " HTTP/1.1\r\nAccept: text/plain\r\nUser-Agent: Sarvo\r\nHost: ";
    request += url.hostName;
    request += "\r\n\r\n";
    return request;
}

std::string CommunityServerUrl() {
    if (IsServerRunning())
        return ServerUrl();
    uint32_t address = GetListenIp();
    if (address == 0) {
        std::vector<uint32_t> own = LocalIpv4Addresses();
        if (own.empty())
            return std::string();
        address = own.front();
    }
    return FormatServerUrl(address, GetListenPort());
}

void SetLoginFailure(CommunityHost& host, std::string_view text) {
    host.hostName.clear();
    host.hostPage.clear();
    host.hostDescription.assign(text.substr(0, kCommunityTextMax));
    StoreHostLoginOutcome(host);
}

LoginOutcome LoginToCommunity(CommunityHost& host, std::string_view serverUrl, std::stop_token stop) {
    LoginUrlParts url;
    if (!ParseLoginUrl(host.loginUrl, url))
        return Fail(host, kLoginFailInvalidLoginUrl);
    if (serverUrl.empty())
        return Fail(host, kLoginFailInvalidMemberUrl);
    LoginExchange exchange(stop);
    std::optional<std::string> failure = exchange.Connect(url);
    if (!failure)
        failure = exchange.Send(BuildLoginRequest(host, url, serverUrl));
    BodyOrFailure reply;
    if (!failure) {
        reply = ReadReplyBody(exchange);
        failure = reply.failure;
    }
    if (exchange.Stopped())
        return {LoginOutcome::Kind::Stopped, {}};
    if (failure)
        return Fail(host, *failure);
    return TakeReply(host, reply.body);
}

void SetLoginDeadlineForTesting(std::chrono::milliseconds deadline) {
    g_deadlineOverrideMs = deadline.count();
}

}  // namespace sarvo
