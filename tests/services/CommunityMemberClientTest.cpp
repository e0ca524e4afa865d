#include "services/CommunityMemberClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "store/Registry.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using namespace std::chrono_literals;

constexpr char kServerUrl[] = "http://10.0.0.1:8000/";
constexpr auto kScriptLimit = 10s;

TEST(ParseLoginUrlTest, SplitsAndResolvesTheHostsAddress) {
    struct Case {
        const char* url;
        bool parsed;
        const char* hostName;
        uint16_t port;
        const char* path;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8080/WebCommunity/login", true, "127.0.0.1", 8080, "/WebCommunity/login"},
        {"http://localhost/login", true, "localhost", 80, "/login"},
        {"HTTP:\\\\127.0.0.1\\a/b", true, "127.0.0.1", 80, "/b"},
        {"http://127.0.0.1: 81", true, "127.0.0.1", 81, ""},
        {"http:///WebCommunity/login", false, "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        LoginUrlParts parts;
        ASSERT_EQ(ParseLoginUrl(c.url, parts), c.parsed);
        if (!c.parsed)
            continue;
        EXPECT_EQ(parts.hostName, c.hostName);
        EXPECT_EQ(parts.address, htonl(INADDR_LOOPBACK));
        EXPECT_EQ(parts.port, c.port);
        EXPECT_EQ(parts.path, c.path);
    }
}

TEST(EncodeQueryValueTest, FormEncodesEveryByteButTheUnreservedOnes) {
    const std::pair<std::string, std::string> cases[] = {
        {"a-b.c_d~09AZ", "a-b.c_d%7E09AZ"},
        {"50%/x?=", "50%25%2Fx%3F%3D"},
        {"\xE9t\xE9", "%E9t%E9"},
        {"", ""},
    };
    for (const auto& [text, encoded] : cases) {
        std::string out = "kept:";
        EncodeQueryValue(text, out);
        EXPECT_EQ(out, "kept:" + encoded) << text;
    }
}

TEST(BuildLoginRequestTest, CarriesTheSitesDataInTheQueryAndTheHostNameAlone) {
    CommunityHost host;
    host.id = "alpha";
    host.memberName = "Tom & Jerry";
    host.page = "Music/";
    host.memberDescription = "d";
    LoginUrlParts url{"example.org", 0, 8080, "/WebCommunity/login"};
    EXPECT_EQ(
        BuildLoginRequest(host, url, kServerUrl),
        "GET /WebCommunity/login?id=alpha&name=Tom+%26+Jerry&url=http%3A%2F%2F10.0.0.1%3A8000%2FMusic%2F"
        "&desc=d HTTP/1.1\r\nAccept: text/plain\r\nUser-Agent: Sarvo\r\nHost: example.org\r\n\r\n");
    host.icon = "me.png";
    url.path.clear();
    std::string request = BuildLoginRequest(host, url, kServerUrl);
    EXPECT_EQ(request.substr(0, 13), "GET /?id=alph");
    EXPECT_NE(request.find("&desc=d&icon=http%3A%2F%2F10.0.0.1%3A8000%2Fme.png HTTP/1.1\r\n"),
              std::string::npos);
}

// A listening socket on 127.0.0.1 and a port the kernel picks; the address it is bound to is filled in.
int ListenOnLoopback(int backlog, sockaddr_in& address) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, backlog);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    return listener;
}

// A host of the test's own on 127.0.0.1: it takes one connection, reads the request and answers with
// the given bytes, then closes (or holds the connection until it is destroyed).
class ScriptedHost {
public:
    ScriptedHost(std::string reply, bool hold) : m_reply(std::move(reply)), m_hold(hold) {
        m_listener = ListenOnLoopback(4, m_address);
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedHost() {
        m_done = true;
        m_thread.join();
        ::close(m_listener);
    }

    uint16_t Port() const { return ntohs(m_address.sin_port); }
    std::string Request() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_request;
    }

private:
    bool WaitReadable(int fd) const {
        const auto deadline = std::chrono::steady_clock::now() + kScriptLimit;
        while (!m_done && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, 50) > 0)
                return true;
        }
        return false;
    }

    void Serve() {
        if (!WaitReadable(m_listener))
            return;
        int client = ::accept(m_listener, nullptr, nullptr);
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(client)) {
            ssize_t count = ::recv(client, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            request.append(buffer, static_cast<size_t>(count));
        }
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_request = request;
        }
        ::send(client, m_reply.data(), m_reply.size(), MSG_NOSIGNAL);
        if (m_hold) {
            while (!m_done)
                std::this_thread::sleep_for(20ms);
        }
        ::close(client);
    }

    std::string m_reply;
    bool m_hold;
    sockaddr_in m_address{};
    int m_listener = -1;
    mutable std::mutex m_lock;
    std::string m_request;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

std::string WithLength(const std::string& body, const std::string& status = "200 OK") {
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           body;
}

std::string Chunked(const std::string& lengthHeader) {
    return "HTTP/1.1 200 OK\r\n" + lengthHeader +
           "\r\n\r\na\r\naccepted\r\n\r\n1D  \r\nHub\r\nhttp://hub.example/WC/\r\n\r\n4\r\nWide\r\n0\r\n\r\n";
}

// An accepted reply in one chunk, its description padded with blanks (which the trim removes) so
// that the whole reply is that many bytes over the limit: the receive that completes it is the one
// that crosses the limit.
std::string ChunkedOverLimitBy(size_t excess) {
    const std::string header = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string sizeLine = "FFFF\r\n";  // four digits as any size near the limit has
    const std::string lastChunk = "\r\n0\r\n\r\n";
    std::string data = "accepted\r\nHub\r\nhttp://h/\r\nd";
    data.resize(kLoginReplyLimit + excess - header.size() - sizeLine.size() - lastChunk.size(), ' ');
    char size[16];
    std::snprintf(size, sizeof size, "%04zX\r\n", data.size());
    return header + size + data + lastChunk;
}

const SystemTime kEarlierLogin{2001, 2, 5, 3, 4, 5, 6, 7};

class CommunityMemberClientTest : public ::testing::Test {
protected:
    CommunityMemberClientTest() { SetLoginDeadlineForTesting(300ms); }
    ~CommunityMemberClientTest() override {
        SetLoginDeadlineForTesting(0ms);
        CloseSettingsStore();
    }

    // A record that an earlier login filled, logging in to the given address.
    CommunityHost StoredHost(const std::string& loginUrl) {
        CommunityHost host;
        host.id = "alpha";
        host.memberName = "Site";
        host.memberDescription = "Mine";
        host.loginUrl = loginUrl;
        host.hostName = "Old Hub";
        host.hostPage = "http://old.example/";
        host.hostDescription = "Old description";
        host.lastLogin = kEarlierLogin;
        StoreCommunityHost(host);
        return host;
    }

    test::ScopedSarvoHome m_home;
};

struct ReplyCase {
    const char* label;
    std::string reply;
    bool hold;
    LoginOutcome::Kind kind;
    std::string hostName;
    std::string hostPage;
    std::string hostDescription;
};

ReplyCase Accepted(const char* label, std::string reply, std::string name, std::string page,
                   std::string description) {
    return {label, std::move(reply), false, LoginOutcome::Kind::Accepted, name, page, description};
}

// A failed login keeps its reason in the host's description and clears the host's name and page.
ReplyCase Failed(const char* label, std::string reply, std::string reason, bool hold = false) {
    return {label, std::move(reply), hold, LoginOutcome::Kind::Failed, "", "", reason};
}

TEST_F(CommunityMemberClientTest, EachReplyOfAHostEndsInItsOutcome) {
    const std::string hub = "http://hub.example/WC/";
    const std::string accepted = "accepted\r\nHub\r\n" + hub + "\r\n  The hub  ";
    const std::string name31 = std::string(31, 'n');
    const ReplyCase cases[] = {
        Accepted("content-length reply", WithLength(accepted), "Hub", hub, "The hub"),
        Accepted("chunked reply", Chunked("Transfer-Encoding:\t CHUNKED"), "Hub", hub, "Wide"),
        Accepted("content-length 0 read as chunked", Chunked("Content-Length: 0"), "Hub", hub, "Wide"),
        Accepted("accepted without a description", WithLength("ACCEPTED\r\nHub\r\n" + hub + "\r\n"), "Hub",
                 hub, ""),
        Accepted("host name of 31 characters", WithLength("accepted\r\n" + name31 + "\r\nhttp://h/\r\nd"),
                 name31, "http://h/", "d"),
        Accepted("good chunked reply of exactly 64 KiB", ChunkedOverLimitBy(0), "Hub", "http://h/", "d"),
        Failed("rejected", WithLength("rejected\r\n Member ID Not Exists \r\nmore"), "Member ID Not Exists"),
        Failed("status other than 200", WithLength(accepted, "404 Not Found"), kLoginFailStatus),
        Failed("neither length nor chunks", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n" + accepted,
               kLoginFailInvalidReply),
        Failed("no line break", WithLength("accepted"), kLoginFailInvalidReply),
        Failed("accepted with three lines", WithLength("accepted\r\nHub\r\n" + hub), kLoginFailInvalidReply),
        Failed("host name of 32 characters", WithLength("accepted\r\n" + name31 + "n\r\nhttp://h/\r\nd"),
               kLoginFailInvalidReply),
        Failed("host page of 255 characters",
               WithLength("accepted\r\nHub\r\n" + std::string(255, 'p') + "\r\nd"), kLoginFailInvalidReply),
        Failed("reply over 64 KiB", WithLength(accepted + std::string(70000, ' ')), kLoginFailInvalidReply),
        Failed("good chunked reply 10 bytes over 64 KiB", ChunkedOverLimitBy(10), kLoginFailInvalidReply),
        Failed("endless chunks",
               "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(70000, 'x'),
               kLoginFailInvalidReply, true),
        Failed("host that never answers", "", kLoginFailDisconnected, true),
        Failed("header that never ends", "HTTP/1.1 200 OK\r\n", kLoginFailDisconnected, true),
        Failed("host that closes without a reply", "", kLoginFailDisconnected),
        Failed("body cut short", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\naccepted\r\n",
               kLoginFailDisconnected),
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedHost scripted(c.reply, c.hold);
        CommunityHost host =
            StoredHost("http://127.0.0.1:" + std::to_string(scripted.Port()) + "/WebCommunity/login");
        const auto started = std::chrono::steady_clock::now();
        LoginOutcome outcome = LoginToCommunity(host, kServerUrl);
        EXPECT_LT(std::chrono::steady_clock::now() - started, kScriptLimit)
            << "bounded by the shortened deadline";

        EXPECT_EQ(outcome.kind, c.kind);
        std::optional<CommunityHost> stored = FindCommunityHost("alpha");
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->hostName, c.hostName);
        EXPECT_EQ(stored->hostPage, c.hostPage);
        EXPECT_EQ(stored->hostDescription, c.hostDescription);
        EXPECT_EQ(stored->memberName, "Site") << "the owner's fields stay";
        if (c.kind == LoginOutcome::Kind::Accepted)
            EXPECT_NE(stored->lastLogin, kEarlierLogin);
        else
            EXPECT_EQ(stored->lastLogin, kEarlierLogin);
        EXPECT_EQ(scripted.Request().substr(0, 43), "GET /WebCommunity/login?id=alpha&name=Site&");
        EXPECT_NE(scripted.Request().find("\r\nHost: 127.0.0.1\r\n"), std::string::npos);
    }
}

TEST_F(CommunityMemberClientTest, AddressesThatLeadNowhereFailBeforeAnyReply) {
    const uint16_t closedPort = test::PickFreePort();
    const std::pair<std::string, std::string> cases[] = {
        {"127.0.0.1/WebCommunity/login", kLoginFailInvalidLoginUrl},
        {"http://no-such-host.invalid/WebCommunity/login", kLoginFailInvalidLoginUrl},
        {"http://127.0.0.1:" + std::to_string(closedPort) + "/login", "Can not connect to 127.0.0.1"},
    };
    for (const auto& [url, failure] : cases) {
        SCOPED_TRACE(url);
        CommunityHost host = StoredHost(url);
        EXPECT_EQ(LoginToCommunity(host, kServerUrl).text, failure);
        EXPECT_EQ(FindCommunityHost("alpha")->hostDescription, failure);
        EXPECT_EQ(FindCommunityHost("alpha")->hostName, "");
    }
    CommunityHost host = StoredHost("http://127.0.0.1:" + std::to_string(closedPort) + "/login");
    EXPECT_EQ(LoginToCommunity(host, "").text, kLoginFailInvalidMemberUrl);
}

// A listener whose accept queue is full and never taken: the kernel drops further connection
// attempts, so a connect to it stays under way.
class FullListener {
public:
    FullListener() {
        m_listener = ListenOnLoopback(0, m_address);
        for (int& filler : m_fillers) {
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&m_address), sizeof m_address);
        }
    }
    ~FullListener() {
        for (int filler : m_fillers)
            ::close(filler);
        ::close(m_listener);
    }

    uint16_t Port() const { return ntohs(m_address.sin_port); }

private:
    sockaddr_in m_address{};
    int m_listener = -1;
    int m_fillers[2] = {-1, -1};
};

TEST_F(CommunityMemberClientTest, AStopEndsAWaitingLoginWithoutStoringIt) {
    SetLoginDeadlineForTesting(60s);
    ScriptedHost silent("", true);
    FullListener full;
    const std::pair<const char*, uint16_t> cases[] = {
        {"connected host that never answers", silent.Port()},
        {"connection that is never made", full.Port()},
    };
    for (const auto& [label, port] : cases) {
        SCOPED_TRACE(label);
        CommunityHost host = StoredHost("http://127.0.0.1:" + std::to_string(port) + "/login");
        std::stop_source stop;
        std::thread stopper([&] {
            std::this_thread::sleep_for(200ms);
            stop.request_stop();
        });
        const auto started = std::chrono::steady_clock::now();
        LoginOutcome outcome = LoginToCommunity(host, kServerUrl, stop.get_token());
        stopper.join();
        EXPECT_LT(std::chrono::steady_clock::now() - started, kScriptLimit);
        EXPECT_EQ(outcome.kind, LoginOutcome::Kind::Stopped) << outcome.text;
        EXPECT_EQ(FindCommunityHost("alpha")->hostName, "Old Hub");
    }
}

}  // namespace
}  // namespace sarvo
