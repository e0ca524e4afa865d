// Many connections from one client, or from many slow ones, through the real server: other visitors
// are still answered. Loopback stands in for remote addresses (127.0.0.x are all this computer's).
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "server/ClientQuota.h"
#include "server/HttpServer.h"
#include "server/LocalClient.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Exchange;
using test::Get;
using test::LoopbackServer;

// A connection from 127.0.0.<host>, established (or failed) before it is returned; -1 on failure.
int ConnectFrom(int host, uint16_t port) {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return -1;
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(0x7F000000u | static_cast<uint32_t>(host));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    pollfd wait{descriptor, POLLOUT, 0};
    if (::bind(descriptor, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
        (::connect(descriptor, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0 &&
         errno != EINPROGRESS) ||
        ::poll(&wait, 1, 2000) != 1) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

// Sends the request from 127.0.0.<host> and reads the answer until the server closes (bounded).
std::string RequestFrom(int host, uint16_t port, const std::string& request) {
    const int descriptor = ConnectFrom(host, port);
    if (descriptor < 0)
        return "";
    std::string answer;
    if (::send(descriptor, request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
        const auto deadline = Clock::now() + 10s;
        char buffer[4096];
        while (Clock::now() < deadline) {
            pollfd wait{descriptor, POLLIN, 0};
            if (::poll(&wait, 1, 1000) != 1)
                continue;
            const ssize_t got = ::recv(descriptor, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            answer.append(buffer, static_cast<size_t>(got));
        }
    }
    ::close(descriptor);
    return answer;
}

// Waits (bounded) until the server holds at most limit connections; the count then.
int WaitForAtMost(int limit, std::chrono::seconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (ActiveConnectionCount() > limit && Clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    return ActiveConnectionCount();
}

class ConnectionLimitTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        m_server.ShareFolder("share", "shared");
        m_server.Home().WriteFile("shared/a.txt", "small");
        SetLocalClientRule(LocalClientRule::TreatAllAsRemote);
    }
    void TearDown() override {
        for (int descriptor : m_held)
            ::close(descriptor);
        SetLocalClientRule(LocalClientRule::Recognize);
    }

    // Opens count connections from 127.0.0.<host> and keeps them; each sends piece when not empty.
    void Hold(int host, int count, const std::string& piece) {
        const auto deadline = Clock::now() + 60s;
        for (int i = 0; i < count && Clock::now() < deadline; ++i) {
            const int descriptor = ConnectFrom(host, m_server.Port());
            if (descriptor < 0)
                continue;
            if (!piece.empty()) [[maybe_unused]]
                ssize_t sent = ::send(descriptor, piece.data(), piece.size(), MSG_NOSIGNAL);
            m_held.push_back(descriptor);
        }
    }

    // The held connections the server has closed (they read as ended).
    int ClosedByServer() const {
        int closed = 0;
        for (int descriptor : m_held) {
            pollfd wait{descriptor, POLLIN, 0};
            closed += ::poll(&wait, 1, 0) == 1 ? 1 : 0;
        }
        return closed;
    }

    bool SmallRequestSucceeds() { return Exchange(m_server.Port(), Get("/share/a.txt")).body == "small"; }

    LoopbackServer m_server;
    std::vector<int> m_held;
};

TEST_F(ConnectionLimitTest, OneClientHoldingThousandsOfIdleConnectionsLeavesRoomForOthers) {
    Hold(2, 3000, "");
    ASSERT_GE(m_held.size(), 2900u);
    // Every connection past the client's share was closed at accept.
    EXPECT_EQ(WaitForAtMost(kMaxConnectionsPerClient, 10s), kMaxConnectionsPerClient);
    EXPECT_TRUE(SmallRequestSucceeds());
    // One more from the same client is closed without a byte.
    const int another = ConnectFrom(2, m_server.Port());
    ASSERT_GE(another, 0);
    pollfd wait{another, POLLIN, 0};
    char byte = 0;
    EXPECT_EQ(::poll(&wait, 1, 5000), 1);
    EXPECT_EQ(::recv(another, &byte, 1, 0), 0);
    ::close(another);
}

// Slowloris from many addresses, each within its share: once the server is crowded, connections
// whose header is still incomplete (or not begun) after five seconds are closed, and a prompt visitor
// is answered.
TEST_F(ConnectionLimitTest, CrowdedServerClosesSlowHeadersFirst) {
    const int addresses = kCrowdedConnections / kMaxConnectionsPerClient + 2;
    // Half of them silent, half in the middle of a header.
    for (int host = 10; host < 10 + addresses; ++host)
        Hold(host, kMaxConnectionsPerClient, host % 2 ? "" : "GET /share/a.txt HTTP/1.1\r\nX-a: ");
    ASSERT_GT(static_cast<int>(m_held.size()), kCrowdedConnections);
    EXPECT_TRUE(SmallRequestSucceeds());
    // Without the crowd they would be kept for the whole header time limit (a minute); with it,
    // enough of them are closed after five seconds to end the crowd.
    const int mustClose = static_cast<int>(m_held.size()) - kCrowdedConnections;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kCrowdedHeaderLimitMs) + 10s;
    while (ClosedByServer() < mustClose && Clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    EXPECT_GE(ClosedByServer(), mustClose);
    EXPECT_LE(WaitForAtMost(kCrowdedConnections, 5s), kCrowdedConnections);
    EXPECT_TRUE(SmallRequestSucceeds());
}

// slowhttptest's slowloris at 3,000 connections from 127.0.0.1, while 127.0.0.2 asks for a file.
TEST_F(ConnectionLimitTest, SlowlorisOfAnotherToolLeavesRoomForOthers) {
    constexpr char kTool[] = "/usr/bin/slowhttptest";
    if (::access(kTool, X_OK) != 0)
        GTEST_SKIP() << kTool << " is not installed (scripts/install-deps.sh installs it)";
    const std::string url = "http://127.0.0.1:" + std::to_string(m_server.Port()) + "/share/a.txt";
    const pid_t tool = ::fork();
    ASSERT_GE(tool, 0);
    if (tool == 0) {
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
        ::execl(kTool, kTool, "-H", "-c", "3000", "-r", "1000", "-i", "5", "-l", "30", "-u", url.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The attack is under way once its address holds its whole share.
    const auto deadline = Clock::now() + 15s;
    while (ActiveConnectionCount() < kMaxConnectionsPerClient && Clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    // At 1,000 a second the tool has tried its 3,000 by now, and keeps trying to replace those refused.
    std::this_thread::sleep_for(3s);
    const int heldByTool = ActiveConnectionCount();
    const std::string answer = RequestFrom(2, m_server.Port(), Get("/share/a.txt"));
    ::kill(tool, SIGKILL);
    ::waitpid(tool, nullptr, 0);
    EXPECT_EQ(heldByTool, kMaxConnectionsPerClient);
    EXPECT_NE(answer.find("\r\n\r\nsmall"), std::string::npos) << answer;
}

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// 2,000 requests at once from this computer (not counted against a client's share), then none: the
// server, which runs in this process, keeps no more descriptors than twice what it held before.
TEST_F(ConnectionLimitTest, DescriptorsReturnAfterAFlood) {
    SetLocalClientRule(LocalClientRule::Recognize);
    ASSERT_TRUE(SmallRequestSucceeds());
    ASSERT_TRUE(m_server.WaitForIdle());
    const int before = OpenDescriptorCount();
    Hold(1, 2000, Get("/share/a.txt"));
    ASSERT_GE(m_held.size(), 1900u);
    for (int descriptor : m_held) {
        pollfd wait{descriptor, POLLIN, 0};
        ::poll(&wait, 1, 5000);
        ::close(descriptor);
    }
    m_held.clear();
    ASSERT_TRUE(m_server.WaitForIdle(30s));
    EXPECT_LE(OpenDescriptorCount(), 2 * before);
}

}  // namespace
}  // namespace sarvo
