#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>

#include "platform/WinsockError.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

// Every socket of these tests stays on this computer.
const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

class SocketCloser {
public:
    explicit SocketCloser(int socket) : m_socket(socket) {}
    ~SocketCloser() {
        if (m_socket >= 0)
            CloseSocket(m_socket);
    }
    SocketCloser(const SocketCloser&) = delete;
    SocketCloser& operator=(const SocketCloser&) = delete;
    int Get() const { return m_socket; }

private:
    int m_socket;
};

uint16_t PortOf(SocketHandle socket) {
    sockaddr_in address{};
    return GetSockName(socket, address) == 0 ? ntohs(address.sin_port) : 0;
}

bool IsCloseOnExec(int descriptor) {
    return (::fcntl(descriptor, F_GETFD) & FD_CLOEXEC) != 0;
}

class LoopbackPair : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(m_listener.Get(), 0);
        ASSERT_EQ(Bind(m_listener.Get(), kLoopback, 0), 0);
        ASSERT_EQ(Listen(m_listener.Get(), 4), 0);
        m_port = PortOf(m_listener.Get());
        ASSERT_NE(m_port, 0);
        ASSERT_GE(m_client.Get(), 0);
        ASSERT_EQ(Connect(m_client.Get(), kLoopback, m_port), 0);
        sockaddr_in peer{};
        int accepted = Accept(m_listener.Get(), &peer);
        ASSERT_GE(accepted, 0);
        m_server = std::make_unique<SocketCloser>(accepted);
        m_peer = peer;
    }

    int Server() const { return m_server->Get(); }

    SocketCloser m_listener{CreateTcpSocket()};
    SocketCloser m_client{CreateTcpSocket()};
    std::unique_ptr<SocketCloser> m_server;
    sockaddr_in m_peer{};
    uint16_t m_port = 0;
};

TEST_F(LoopbackPair, BytesTravelBothWaysAndPeekLeavesThemQueued) {
    EXPECT_TRUE(IsCloseOnExec(m_listener.Get()));
    EXPECT_TRUE(IsCloseOnExec(Server()));
    EXPECT_EQ(m_peer.sin_addr.s_addr, kLoopback);
    EXPECT_EQ(m_peer.sin_port, htons(PortOf(m_client.Get())));

    ASSERT_EQ(Send(m_client.Get(), "GET / HTTP/1.1\r\n", 16), 16);
    ASSERT_GT(WaitReadable(Server(), 2000), 0);
    char buffer[64] = {};
    ASSERT_EQ(Recv(Server(), buffer, sizeof buffer, RecvMode::Peek), 16);
    EXPECT_EQ(std::string(buffer, 16), "GET / HTTP/1.1\r\n");
    ASSERT_EQ(Recv(Server(), buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "GET ");
    ASSERT_EQ(Recv(Server(), buffer, sizeof buffer), 12);
    EXPECT_EQ(std::string(buffer, 12), "/ HTTP/1.1\r\n");

    ASSERT_EQ(Send(Server(), "HTTP/1.1 200 OK", 15), 15);
    ASSERT_EQ(ShutdownSend(Server()), 0);
    std::string received;
    for (;;) {
        int count = Recv(m_client.Get(), buffer, sizeof buffer);
        ASSERT_GE(count, 0);
        if (count == 0)
            break;
        received.append(buffer, static_cast<size_t>(count));
    }
    EXPECT_EQ(received, "HTTP/1.1 200 OK");
}

TEST_F(LoopbackPair, WaitForSocketsMarksOnlyTheReadyOnes) {
    ASSERT_EQ(Send(m_client.Get(), "x", 1), 1);
    SocketWaitEntry entries[] = {
        {m_listener.Get(), WaitEvent::Readable, true},
        {Server(), WaitEvent::Readable, false},
        {m_client.Get(), WaitEvent::Readable, true},
    };
    EXPECT_EQ(WaitForSockets(entries, 2000), 1);
    EXPECT_FALSE(entries[0].ready);
    EXPECT_TRUE(entries[1].ready);
    EXPECT_FALSE(entries[2].ready);
    EXPECT_EQ(WaitForSockets(std::span<SocketWaitEntry>(), 0), -kWsaEInval) << "an empty wait";
}

TEST_F(LoopbackPair, SendingToAClosedPeerIsAResetNotASignal) {
    m_server.reset();
    // The first send may still be accepted; the reset arrives with it and the next send fails.
    int result = 0;
    for (int attempt = 0; attempt < 50 && result >= 0; ++attempt) {
        result = Send(m_client.Get(), "data", 4);
        if (result >= 0)
            WaitReadable(m_client.Get(), 20);
    }
    EXPECT_EQ(result, -kWsaEConnReset);
}

TEST(SocketTest, AnyDescriptorThatIsNotASocketGivesNotSocket) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    test::TempFolder folder;
    int file = ::open(folder.WriteFile("plain.txt", "text").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(file, 0);
    for (int descriptor : {kInvalidSocket, pipeEnds[0], pipeEnds[1], file}) {
        SCOPED_TRACE(descriptor);
        char buffer[4] = {};
        sockaddr_in address{};
        SocketWaitEntry entry{descriptor, WaitEvent::Readable, false};
        // Calls that reach a socket system call get ENOTSOCK from the kernel through one mapping, so a
        // sample of them stands for the rest.
        EXPECT_EQ(Accept(descriptor, nullptr), -10038);
        EXPECT_EQ(Recv(descriptor, buffer, sizeof buffer), -10038);
        EXPECT_EQ(Send(descriptor, "x", 1), -10038);
        EXPECT_EQ(GetPeerName(descriptor, address), -10038);
        // Regression: these two were answered by fcntl and poll, which take any descriptor.
        EXPECT_EQ(SetNonBlocking(descriptor, true), -10038);
        EXPECT_EQ(WaitForSockets(std::span<SocketWaitEntry>(&entry, 1), 0), -10038);
    }
    EXPECT_EQ(::fcntl(pipeEnds[0], F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(CloseSocket(kInvalidSocket), -10038);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ::close(file);
}

TEST(SocketTest, ADescriptorNumberThatIsNotOpenIsBadNotNotSocket) {
    int descriptor = CreateTcpSocket();
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(CloseSocket(descriptor), 0);
    char byte = 0;
    EXPECT_EQ(Recv(descriptor, &byte, 1), -kWsaEBadF);
    EXPECT_EQ(Send(descriptor, &byte, 1), -kWsaEBadF);
    EXPECT_EQ(SetNonBlocking(descriptor, true), -kWsaEBadF);
    EXPECT_EQ(WaitReadable(descriptor, 0), -kWsaEBadF);
    EXPECT_EQ(CloseSocket(descriptor), -kWsaEBadF);
}

}  // namespace
}  // namespace sarvo
