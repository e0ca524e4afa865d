#include "server/TcpSocket.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "platform/Socket.h"
#include "platform/WinsockError.h"
#include "server/HttpRequest.h"

namespace sarvo {
namespace {

const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

std::string Pattern(size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::string text(length, '\0');
    for (char& c : text)
        c = static_cast<char>('a' + random() % 26);
    return text;
}

uint16_t LocalPort(const TcpSocket& socket) {
    sockaddr_in address{};
    return socket.GetAddress(address, TcpSocket::AddressSide::Local) ? ntohs(address.sin_port) : 0;
}

// A listener, a client connected to it and the server end of that connection, all TcpSocket.
class TcpSocketPair : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_listener.Create(), 0);
        ASSERT_EQ(m_listener.Bind(kLoopback, 0), 0);
        ASSERT_EQ(m_listener.Listen(4), 0);
        m_port = LocalPort(m_listener);
        ASSERT_NE(m_port, 0);
        ASSERT_EQ(m_client.Create(), 0);
        ASSERT_EQ(m_client.Connect(kLoopback, m_port, true), 0);
        ASSERT_EQ(m_listener.Accept(m_peer, m_server), 0);
        ASSERT_NE(m_server.Handle(), kInvalidSocket);
    }

    // Receives on the server until it holds length bytes or a step fails.
    void ReceiveOnServer(size_t length) {
        while (m_server.ReceivedData().size() < length) {
            int received = m_server.ReceiveSome(2000);
            ASSERT_GT(received, 0);
            ASSERT_LE(static_cast<size_t>(received), kReceiveBlock);
        }
    }

    void SendAllFromClient(std::string_view text) {
        m_client.QueueSendText(text);
        while (m_client.SendFill() > 0)
            ASSERT_GT(m_client.SendSome(2000), 0);
    }

    TcpSocket m_listener;
    TcpSocket m_client;
    TcpSocket m_server;
    sockaddr_in m_peer{};
    uint16_t m_port = 0;
};

TEST_F(TcpSocketPair, AcceptReportsTheClientAddress) {
    EXPECT_EQ(m_peer.sin_addr.s_addr, kLoopback);
    EXPECT_EQ(ntohs(m_peer.sin_port), LocalPort(m_client));
    sockaddr_in peer{};
    ASSERT_TRUE(m_server.GetAddress(peer, TcpSocket::AddressSide::Peer));
    EXPECT_EQ(ntohs(peer.sin_port), LocalPort(m_client));
    ASSERT_TRUE(m_client.GetAddress(peer, TcpSocket::AddressSide::Peer));
    EXPECT_EQ(ntohs(peer.sin_port), m_port);
}

TEST_F(TcpSocketPair, ReceiveSomeAppendsBehindWhatIsHeld) {
    SendAllFromClient("GET / ");
    ReceiveOnServer(6);
    SendAllFromClient("HTTP/1.1\r\n");
    ReceiveOnServer(16);
    EXPECT_EQ(m_server.ReceivedData(), "GET / HTTP/1.1\r\n");
}

TEST_F(TcpSocketPair, ReceiveSomeWithoutDataTimesOutWithZero) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_server.ReceiveSome(100), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
    EXPECT_TRUE(m_server.ReceivedData().empty());
    EXPECT_FALSE(m_server.PeerClosed());
}

// A non-blocking socket is read before it is waited for; an empty read must still wait out the step
// rather than report "would block", and bytes that come during the wait must be taken.
TEST_F(TcpSocketPair, NonBlockingReceiveWaitsWhenNothingIsThere) {
    ASSERT_EQ(m_server.SetBlocking(false), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_server.ReceiveSome(100), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));

    std::thread late([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SendAllFromClient("late");
    });
    EXPECT_EQ(m_server.ReceiveSome(2000), 4);
    late.join();
    EXPECT_EQ(m_server.ReceivedData(), "late");

    m_server.QueueSendText("answer");
    EXPECT_EQ(m_server.SendSome(1000), 6);
    EXPECT_EQ(m_server.SendFill(), 0u);
}

TEST_F(TcpSocketPair, OneReceiveTakesAtMostOneBlock) {
    const std::string sent = Pattern(3 * kReceiveBlock + 100, 1);
    SendAllFromClient(sent);
    // Give the whole text time to arrive, so that a receive could take more than a block if it tried.
    ASSERT_EQ(WaitReadable(m_server.Handle(), 2000), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(m_server.ReceiveSome(2000), static_cast<int>(kReceiveBlock));
    ReceiveOnServer(sent.size());
    EXPECT_EQ(m_server.ReceivedData(), sent);
}

TEST_F(TcpSocketPair, ConsumeReceivedKeepsTheRestAndANulBehindIt) {
    SendAllFromClient("header\r\n\r\nbody");
    ReceiveOnServer(14);
    m_server.ConsumeReceived(10);
    std::string_view rest = m_server.ReceivedData();
    EXPECT_EQ(rest, "body");
    // Callers hand the data on as a C string; the vacated bytes must not show behind it.
    EXPECT_EQ(rest.data()[rest.size()], '\0');
    EXPECT_EQ(std::string(rest.data()), "body");

    m_server.ConsumeReceived(0);
    EXPECT_EQ(m_server.ReceivedData(), "body");
    m_server.ConsumeReceived(4);
    EXPECT_TRUE(m_server.ReceivedData().empty());
    m_server.ConsumeReceived(100);
    EXPECT_TRUE(m_server.ReceivedData().empty());
}

TEST_F(TcpSocketPair, ClearReceivedReturnsTheFormerFill) {
    SendAllFromClient("0123456789");
    ReceiveOnServer(10);
    EXPECT_EQ(m_server.ClearReceived(), 10u);
    EXPECT_TRUE(m_server.ReceivedData().empty());
    EXPECT_EQ(m_server.ClearReceived(), 0u);
    SendAllFromClient("ab");
    ReceiveOnServer(2);
    EXPECT_EQ(std::string(m_server.ReceivedData().data()), "ab");
}

TEST(TcpSocket, QueueSendReturnsTheNewFill) {
    TcpSocket socket;
    EXPECT_EQ(socket.QueueSendText("abc"), 3u);
    EXPECT_EQ(socket.QueueSend("defg", 4), 7u);
    EXPECT_EQ(socket.QueueSendText(""), 7u);
    EXPECT_EQ(socket.QueueSend(nullptr, 5), 7u);
    EXPECT_EQ(socket.SendFill(), 7u);
    EXPECT_EQ(socket.ClearSend(), 7u);
    EXPECT_EQ(socket.SendFill(), 0u);
    EXPECT_EQ(socket.ClearSend(), 0u);
}

TEST(TcpSocket, QueuedBytesSurviveManyGrowthSteps) {
    TcpSocket socket;
    std::mt19937 random(7);
    size_t total = 0;
    while (total < 20 * kSocketBufferStep) {
        const size_t piece = 1 + random() % (2 * kSocketBufferStep);
        const std::string text = Pattern(piece, static_cast<unsigned>(total));
        total += piece;
        ASSERT_EQ(socket.QueueSendText(text), total);
    }
    EXPECT_EQ(socket.SendFill(), total);
}

TEST(TcpSocket, EveryOperationWithoutASocketIsNotSock) {
    TcpSocket socket;
    EXPECT_EQ(socket.Handle(), kInvalidSocket);
    EXPECT_EQ(socket.ReceiveSome(0), -kWsaENotSock);
    EXPECT_EQ(socket.LastErrorText(), "Socket Error = 10038");
    EXPECT_EQ(socket.WaitReady(0, WaitEvent::Writable), -kWsaENotSock);
    EXPECT_EQ(socket.Bind(kLoopback, 0), -kWsaENotSock);
    EXPECT_EQ(socket.Listen(1), -kWsaENotSock);
    EXPECT_EQ(socket.SetBlocking(false), -kWsaENotSock);
    EXPECT_EQ(socket.Connect(kLoopback, 1, true), -kWsaENotSock);
    EXPECT_EQ(socket.IsPeerGone(), -kWsaENotSock);
    sockaddr_in address{};
    EXPECT_FALSE(socket.GetAddress(address, TcpSocket::AddressSide::Local));
    // An empty send buffer is "nothing to do" before any socket is needed.
    EXPECT_EQ(socket.SendSome(0), 0);
    socket.QueueSendText("x");
    EXPECT_EQ(socket.SendSome(0), -kWsaENotSock);
    EXPECT_EQ(socket.SendFill(), 1u);
}

// A stream queued and sent in uneven pieces, with sends that the kernel takes only in part, must
// arrive in order and whole: the unsent front is kept by offset and moved only when the tail is full.
TEST_F(TcpSocketPair, PartialSendsKeepTheStreamInOrder) {
    ASSERT_EQ(m_server.SetBlocking(false), 0);
    // With a small kernel send buffer, large sends are taken only in part.
    int small = 4096;
    ASSERT_EQ(::setsockopt(m_server.Handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);

    std::string expected;
    std::string received;
    std::thread reader([&] {
        char buffer[16384];
        while (WaitReadable(m_client.Handle(), 5000) > 0) {
            int count = Recv(m_client.Handle(), buffer, sizeof buffer);
            if (count <= 0)
                break;
            received.append(buffer, static_cast<size_t>(count));
        }
    });
    std::mt19937 random(3);
    bool partialSeen = false;
    for (unsigned round = 0; round < 40; ++round) {
        const std::string piece = Pattern(1 + random() % 100000, round);
        expected += piece;
        const size_t before = m_server.SendFill();
        ASSERT_EQ(m_server.QueueSendText(piece), before + piece.size());
        const size_t queued = m_server.SendFill();
        int sent = m_server.SendSome(2000);
        ASSERT_GE(sent, 0);
        ASSERT_EQ(m_server.SendFill(), queued - static_cast<size_t>(sent));
        if (m_server.SendFill() > 0)
            partialSeen = true;
    }
    while (m_server.SendFill() > 0)
        ASSERT_GE(m_server.SendSome(2000), 0);
    ASSERT_EQ(ShutdownSend(m_server.Handle()), 0);
    reader.join();
    EXPECT_TRUE(partialSeen) << "the kernel took every send whole; the test did not exercise the offset";
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
}

TEST_F(TcpSocketPair, APeerThatClosedIsAReset) {
    m_client.Close();
    EXPECT_EQ(m_server.ReceiveSome(2000), -kWsaEConnReset);
    EXPECT_TRUE(m_server.PeerClosed());
    EXPECT_EQ(m_server.LastErrorText(), "Socket Error = 10054");
    EXPECT_EQ(m_server.IsPeerGone(), -kWsaEConnReset);
}

TEST_F(TcpSocketPair, DataBeforeTheCloseIsStillReceived) {
    SendAllFromClient("last words");
    m_client.Close();
    ReceiveOnServer(10);
    EXPECT_EQ(m_server.ReceivedData(), "last words");
    EXPECT_EQ(m_server.ReceiveSome(2000), -kWsaEConnReset);
}

TEST_F(TcpSocketPair, IsPeerGonePeeksWithoutTakingAByte) {
    EXPECT_EQ(m_server.IsPeerGone(), 0);
    SendAllFromClient("x");
    ASSERT_EQ(WaitReadable(m_server.Handle(), 2000), 1);
    EXPECT_EQ(m_server.IsPeerGone(), 0);
    EXPECT_EQ(m_server.IsPeerGone(), 0);
    EXPECT_EQ(m_server.ReceiveSome(2000), 1);
    EXPECT_EQ(m_server.ReceivedData(), "x");
    EXPECT_FALSE(m_server.PeerClosed());

    m_client.Close();
    ASSERT_EQ(WaitReadable(m_server.Handle(), 2000), 1);
    EXPECT_EQ(m_server.IsPeerGone(), -kWsaEConnReset);
    EXPECT_TRUE(m_server.PeerClosed());
}

TEST_F(TcpSocketPair, DetachedSocketIsNotClosedByTheObject) {
    SocketHandle handle = m_server.DetachSocket();
    EXPECT_EQ(m_server.Handle(), kInvalidSocket);
    m_server.Close();
    {
        TcpSocket owner;
        owner.Attach(handle);
        owner.QueueSendText("still open");
        EXPECT_EQ(owner.SendSome(2000), 10);
    }
    char buffer[16] = {};
    ASSERT_EQ(WaitReadable(m_client.Handle(), 2000), 1);
    EXPECT_EQ(Recv(m_client.Handle(), buffer, sizeof buffer), 10);
    EXPECT_EQ(std::string(buffer, 10), "still open");
    // The owner's destructor closed it.
    EXPECT_EQ(Recv(m_client.Handle(), buffer, sizeof buffer), 0);
}

TEST(TcpSocket, ConnectToAClosedPortIsRefused) {
    uint16_t port = 0;
    {
        TcpSocket probe;
        ASSERT_EQ(probe.Create(), 0);
        ASSERT_EQ(probe.Bind(kLoopback, 0), 0);
        port = LocalPort(probe);
    }
    ASSERT_NE(port, 0);
    TcpSocket blocking;
    ASSERT_EQ(blocking.Create(), 0);
    EXPECT_EQ(blocking.Connect(kLoopback, port, false), -kWsaEConnRefused);
    EXPECT_EQ(blocking.LastErrorText(), "Socket Error = 10061");

    TcpSocket waiting;
    ASSERT_EQ(waiting.Create(), 0);
    ASSERT_EQ(waiting.SetBlocking(false), 0);
    EXPECT_EQ(waiting.Connect(kLoopback, port, true), -kWsaEConnRefused);
}

TEST(TcpSocket, NonBlockingConnectWaitsWhenAsked) {
    TcpSocket listener;
    ASSERT_EQ(listener.Create(), 0);
    ASSERT_EQ(listener.Bind(kLoopback, 0), 0);
    ASSERT_EQ(listener.Listen(1), 0);
    const uint16_t port = LocalPort(listener);

    TcpSocket waiting;
    ASSERT_EQ(waiting.Create(), 0);
    ASSERT_EQ(waiting.SetBlocking(false), 0);
    EXPECT_EQ(waiting.Connect(kLoopback, port, true), 0);
    sockaddr_in peer{};
    EXPECT_TRUE(waiting.GetAddress(peer, TcpSocket::AddressSide::Peer));
    EXPECT_EQ(ntohs(peer.sin_port), port);

    // Without the wait the attempt is left under way, as Winsock reports it.
    TcpSocket quick;
    ASSERT_EQ(quick.Create(), 0);
    ASSERT_EQ(quick.SetBlocking(false), 0);
    int result = quick.Connect(kLoopback, port, false);
    EXPECT_TRUE(result == 0 || result == -kWsaEWouldBlock) << result;
}

TEST(TcpSocket, CloseEmptiesBothBuffersAndForgetsTheError) {
    TcpSocket socket;
    socket.QueueSendText("queued");
    EXPECT_EQ(socket.ReceiveSome(0), -kWsaENotSock);
    ASSERT_FALSE(socket.LastErrorText().empty());
    socket.Close();
    EXPECT_EQ(socket.SendFill(), 0u);
    EXPECT_TRUE(socket.LastErrorText().empty());
}

enum class CloseMode { Graceful, Plain };

struct UploadOutcome {
    std::string received;
    int lastResult = 0;  // the receive that ended the client's reading: 0 for a clean end
};

// A client uploads a large body that the server never reads; the server answers with a long
// response and closes. The client reads while it is still sending, as browsers do, but starts late
// enough that much of the answer is still queued on the server when it closes.
UploadOutcome AnswerAnUnreadUpload(const std::string& response, CloseMode mode) {
    UploadOutcome outcome;
    TcpSocket listener;
    if (listener.Create() != 0 || listener.Bind(kLoopback, 0) != 0 || listener.Listen(1) != 0)
        return outcome;
    const uint16_t port = LocalPort(listener);

    std::thread server([&] {
        TcpSocket connection;
        sockaddr_in peer{};
        if (listener.WaitReady(5000, WaitEvent::Readable) != 1 || listener.Accept(peer, connection) != 0)
            return;
        connection.SetBlocking(false);
        while (FindHeaderEnd(connection.ReceivedData()) == std::string_view::npos) {
            if (connection.ReceiveSome(3000) < 0)
                return;
        }
        connection.QueueSendText(response);
        while (connection.SendFill() > 0) {
            if (connection.SendSome(3000) < 0)
                return;
        }
        if (mode == CloseMode::Graceful)
            connection.CloseGracefully();
        else
            connection.Close();
    });

    SocketHandle client = CreateTcpSocket();
    if (Connect(client, kLoopback, port) != 0) {
        CloseSocket(client);
        server.join();
        return outcome;
    }
    const std::string upload =
        "POST /upload HTTP/1.1\r\nHost: x\r\nContent-Length: 524288\r\n\r\n" + std::string(512 * 1024, 'u');
    std::thread writer([&] {
        size_t offset = 0;
        while (offset < upload.size()) {
            int sent = Send(client, upload.data() + offset, upload.size() - offset);
            if (sent <= 0)
                break;
            offset += static_cast<size_t>(sent);
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    char buffer[16384];
    for (;;) {
        if (WaitReadable(client, 5000) <= 0) {
            outcome.lastResult = -kWsaETimedOut;
            break;
        }
        int count = Recv(client, buffer, sizeof buffer);
        if (count <= 0) {
            outcome.lastResult = count;
            break;
        }
        outcome.received.append(buffer, static_cast<size_t>(count));
    }
    ShutdownSend(client);
    writer.join();
    server.join();
    CloseSocket(client);
    return outcome;
}

TEST(TcpSocketClose, GracefulCloseDeliversTheWholeAnswerDespiteAnUnreadBody) {
    const std::string response = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + Pattern(384 * 1024, 11);
    UploadOutcome outcome = AnswerAnUnreadUpload(response, CloseMode::Graceful);
    EXPECT_EQ(outcome.lastResult, 0);
    EXPECT_EQ(outcome.received.size(), response.size());
    EXPECT_TRUE(outcome.received == response);
}

// Shows that the case above is a real hazard and that the test would see it: closing at once with
// the body unread makes the kernel reset the connection, and the queued tail of the answer is dropped.
// (The client usually sees the reset, but not always, so only the loss is asserted.)
TEST(TcpSocketClose, PlainCloseWithAnUnreadBodyLosesTheTail) {
    const std::string response = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + Pattern(384 * 1024, 11);
    UploadOutcome outcome = AnswerAnUnreadUpload(response, CloseMode::Plain);
    EXPECT_LT(outcome.received.size(), response.size());
}

}  // namespace
}  // namespace sarvo
