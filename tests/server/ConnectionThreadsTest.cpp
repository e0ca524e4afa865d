#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "server/HttpServer.h"
#include "store/Folders.h"
#include "support/LoopbackServer.h"

// Connections that hold their thread (stalled before their header or in an upload, or downloading without
// end) never make another connection wait, connections waiting for their first bytes are served whenever
// they come, and the bound on connections being served still holds while
// threads are reused.
namespace sarvo {
namespace {

using namespace std::chrono_literals;
using test::Exchange;
using test::Get;
using test::LoopbackServer;

// A client socket on the server's port that is closed when it goes.
class HeldConnection {
public:
    explicit HeldConnection(uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return;
        // A small receive window makes a download stall as soon as the server has filled it.
        const int window = 4096;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~HeldConnection() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    HeldConnection(HeldConnection&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    HeldConnection(const HeldConnection&) = delete;
    HeldConnection& operator=(const HeldConnection&) = delete;

    bool Connected() const { return m_fd >= 0; }
    bool Send(const std::string& bytes) const {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Reads until the server closes, for at most the limit; the count of bytes read, and the bytes
    // themselves when wanted.
    size_t ReadToEnd(std::chrono::seconds limit, std::string* kept = nullptr) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        size_t total = 0;
        char buffer[65536];
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd entry{m_fd, POLLIN, 0};
            if (::poll(&entry, 1, 1000) <= 0)
                continue;
            const ssize_t received = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (received <= 0)
                break;
            total += static_cast<size_t>(received);
            if (kept)
                kept->append(buffer, static_cast<size_t>(received));
        }
        return total;
    }
    std::string ReadAll(std::chrono::seconds limit) const {
        std::string answer;
        ReadToEnd(limit, &answer);
        return answer;
    }

private:
    int m_fd = -1;
};

bool WaitForActiveConnections(int count, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (ActiveConnectionCount() != count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(ConnectionThreadsTest, StalledConnectionsAndEndlessDownloadsDelayNoOtherRequest) {
    constexpr int kStalled = 64;
    constexpr int kDownloads = 8;
    LoopbackServer server;
    ASSERT_TRUE(server.Started());
    server.ShareFolder("share", "shared");
    server.Home().WriteFile("shared/small.txt", "small answer");
    // Sparse, so that it costs no disk; far more than the downloads can take before the test ends.
    std::filesystem::resize_file(server.Home().WriteFile("shared/huge.bin", ""), 8ull << 30);

    std::vector<HeldConnection> held;
    for (int index = 0; index < kStalled; ++index) {
        held.emplace_back(server.Port());
        ASSERT_TRUE(held.back().Connected());
    }
    for (int index = 0; index < kDownloads; ++index) {
        held.emplace_back(server.Port());
        ASSERT_TRUE(held.back().Send(Get("/share/huge.bin")));
    }
    ASSERT_TRUE(WaitForActiveConnections(kStalled + kDownloads, 30s));

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        test::WireResponse response = Exchange(server.Port(), Get("/share/small.txt"));
        EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
        EXPECT_EQ(response.body, "small answer");
    }
    // The held connections were all still being served meanwhile.
    EXPECT_TRUE(WaitForActiveConnections(kStalled + kDownloads, 10s));
}

TEST(ConnectionThreadsTest, StopRefusesNewClientsWhileADownloadUnderWayRunsToItsEnd) {
    constexpr size_t kFileSize = 4 << 20;
    LoopbackServer server;
    ASSERT_TRUE(server.Started());
    server.ShareFolder("share", "shared");
    std::filesystem::resize_file(server.Home().WriteFile("shared/large.bin", ""), kFileSize);
    HeldConnection download(server.Port());
    ASSERT_TRUE(download.Send(Get("/share/large.bin")));
    ASSERT_TRUE(WaitForActiveConnections(1, 10s));

    StopServer();
    WaitForServerThread();
    EXPECT_FALSE(IsServerRunning());
    EXPECT_FALSE(HeldConnection(server.Port()).Connected());
    const size_t received = download.ReadToEnd(60s);
    EXPECT_GT(received, kFileSize);
    EXPECT_LT(received, kFileSize + 1024);  // the file and its header, nothing cut
}

testing::AssertionResult AnswersSmallFile(const HeldConnection& connection) {
    if (!connection.Send(Get("/share/small.txt")))
        return testing::AssertionFailure() << "could not send";
    const std::string answer = connection.ReadAll(10s);
    if (answer.starts_with("HTTP/1.1 200 OK\r\n") && answer.ends_with("\r\n\r\nsmall answer"))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "answer: " << answer;
}

// A connection that has sent nothing yet has no thread until its bytes come; it is served when they
// come late, or after a stop.
TEST(ConnectionThreadsTest, SilentConnectionsAreServedWhenTheirRequestComesLateOrAfterAStop) {
    LoopbackServer server;
    ASSERT_TRUE(server.Started());
    server.ShareFolder("share", "shared");
    server.Home().WriteFile("shared/small.txt", "small answer");
    HeldConnection late(server.Port());
    HeldConnection lateUntilStop(server.Port());
    ASSERT_TRUE(WaitForActiveConnections(2, 10s));
    std::this_thread::sleep_for(std::chrono::milliseconds(kCrowdedHeaderLimitMs) + 500ms);
    EXPECT_TRUE(AnswersSmallFile(late));
    // The answered connection is gone before the next is counted, so that the count below means
    // the next one was admitted.
    ASSERT_TRUE(WaitForActiveConnections(1, 10s));

    HeldConnection waitingAtStop(server.Port());
    ASSERT_TRUE(WaitForActiveConnections(2, 10s));
    StopServer();
    WaitForServerThread();
    EXPECT_TRUE(AnswersSmallFile(lateUntilStop));
    EXPECT_TRUE(AnswersSmallFile(waitingAtStop));
}

TEST(ConnectionThreadsTest, TheConnectionPastTheBoundIsClosedWithoutAnAnswer) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    // Both ends of every connection live in this process, with room for the rest of the test.
    const rlim_t needed = 2 * (kMaxConnectionThreads + 1) + 200;
    if (limit.rlim_max < needed)
        GTEST_SKIP() << "needs " << needed << " open files, the hard limit is " << limit.rlim_max;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);

    LoopbackServer server;
    ASSERT_TRUE(server.Started());
    server.ShareFolder("share", "shared");
    ASSERT_TRUE(SetCanPostFiles("share", true));
    // Uploads whose body never comes hold their threads; a connection still without its header would
    // be closed early once the server is crowded.
    const std::string stalledUpload =
        "POST /share/ HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; boundary=b\r\n"
        "Content-Length: 1048576\r\n\r\n";
    std::vector<HeldConnection> held;
    held.reserve(kMaxConnectionThreads);
    for (int index = 0; index < kMaxConnectionThreads; ++index) {
        held.emplace_back(server.Port());
        ASSERT_TRUE(held.back().Send(stalledUpload)) << "connection " << index + 1;
    }
    ASSERT_TRUE(WaitForActiveConnections(kMaxConnectionThreads, 60s));

    test::WireResponse refused = Exchange(server.Port(), Get("/"));
    EXPECT_FALSE(refused.received) << refused.raw;

    // One held connection ends, and the next is served again.
    held.pop_back();
    ASSERT_TRUE(WaitForActiveConnections(kMaxConnectionThreads - 1, 30s));
    EXPECT_TRUE(Exchange(server.Port(), Get("/")).received);
}

}  // namespace
}  // namespace sarvo
