#include "server/SendResponse.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "platform/Socket.h"
#include "platform/WinsockError.h"
#include "server/ClientActivity.h"
#include "server/FileResponse.h"
#include "support/NotificationRecorder.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::string Scrambled(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 23);
    }
    return bytes;
}

// A body that claims to be a file stretch but whose descriptor the kernel cannot send from (a
// directory), so the sender has to fall back to copying the in-memory body.
class UnsendableFileBody : public HttpResponse {
public:
    explicit UnsendableFileBody(int directory) : m_directory(directory) {}
    bool FileBody(FileBodyStretch& out) const override {
        out = {m_directory, 0, BodyLength()};
        return true;
    }

private:
    int m_directory;
};

// A file body whose connection stops being able to send once the header is out: the first look at the
// body is SendResponse's before the header, the second is just before the file goes out.
class ShutDownBeforeTheBody : public FileResponse {
public:
    explicit ShutDownBeforeTheBody(SocketHandle socket) : m_socket(socket) {}
    bool FileBody(FileBodyStretch& out) const override {
        if (++m_looks == 2)
            ShutdownSend(m_socket);
        return FileResponse::FileBody(out);
    }

private:
    SocketHandle m_socket;
    mutable int m_looks = 0;
};

// The server end of a real loopback TCP connection, non-blocking as the server makes it, and the
// client end as a plain descriptor.
class SendResponseTest : public ::testing::Test {
protected:
    void SetUp() override { Connect(0); }

    void TearDown() override {
        RecordClosed(m_server);
        if (m_client >= 0)
            CloseSocket(m_client);
    }

    // clientBuffer > 0 makes the client's receive buffer small, so a client that stops reading stalls
    // the sender soon.
    void Connect(int clientBuffer) {
        int listener = CreateTcpSocket();
        ASSERT_GE(listener, 0);
        ASSERT_EQ(Bind(listener, htonl(INADDR_LOOPBACK), 0), 0);
        ASSERT_EQ(Listen(listener, 1), 0);
        sockaddr_in address{};
        ASSERT_EQ(GetSockName(listener, address), 0);
        if (m_client >= 0)
            CloseSocket(m_client);
        m_client = CreateTcpSocket();
        ASSERT_GE(m_client, 0);
        if (clientBuffer > 0) {
            ASSERT_EQ(::setsockopt(m_client, SOL_SOCKET, SO_RCVBUF, &clientBuffer, sizeof clientBuffer), 0);
        }
        ASSERT_EQ(sarvo::Connect(m_client, htonl(INADDR_LOOPBACK), ntohs(address.sin_port)), 0);
        int accepted = Accept(listener, nullptr);
        CloseSocket(listener);
        ASSERT_GE(accepted, 0);
        if (clientBuffer > 0) {
            ASSERT_EQ(::setsockopt(accepted, SOL_SOCKET, SO_SNDBUF, &clientBuffer, sizeof clientBuffer), 0);
        }
        RecordClosed(m_server);
        m_connection.Attach(accepted);
        ASSERT_EQ(m_connection.SetBlocking(false), 0);
        m_server = accepted;
        RecordConnected(m_server);
        timeval limit{20, 0};
        ASSERT_EQ(::setsockopt(m_client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit), 0);
    }

    void SetRequest(const std::string& method) {
        m_connection.request.Parse(method + " /x HTTP/1.1\r\nHost: h\r\n\r\n");
    }

    // Reads on the client until the server closes, while the response is sent; returns what arrived.
    std::string SendAndReceive(HttpResponse& response, int& result,
                               ProgressReport report = ProgressReport::On) {
        std::future<std::string> received = std::async(std::launch::async, [this] {
            std::string bytes;
            char buffer[65536];
            for (;;) {
                ssize_t count = ::recv(m_client, buffer, sizeof buffer, 0);
                if (count <= 0)
                    break;
                bytes.append(buffer, static_cast<size_t>(count));
            }
            return bytes;
        });
        result = SendResponse(m_connection, response, report);
        ShutdownSend(m_connection.Handle());
        return received.get();
    }

    test::TempFolder m_folder;
    ConnectionContext m_connection;
    SocketHandle m_server = kInvalidSocket;
    int m_client = -1;
};

TEST_F(SendResponseTest, GetSendsTheHeaderAndTheBody) {
    SetRequest("GET");
    HttpResponse response;
    response.BeginResponse(200);
    response.SetConnection();
    response.SetContentType();
    response.BeginHtmlPage("Home", "#ffffff");
    response.AppendText("<p>x</p></BODY>\r\n</HTML>\r\n");
    response.FinishHeaders();
    int result = -1;
    std::string wire = SendAndReceive(response, result);
    EXPECT_GT(result, 0);
    EXPECT_EQ(wire, std::string(response.HeaderText()) + std::string(response.BodyText()));
}

TEST_F(SendResponseTest, HeadSendsTheHeaderOfTheGetAlone) {
    SetRequest("HEAD");
    test::NotificationRecorder clients(NotificationChannel::ClientsList);
    HttpResponse response;
    response.BeginResponse(200);
    response.SetConnection();
    response.AppendText(std::string(20000, 'b'));
    response.FinishHeaders();
    int result = -1;
    std::string wire = SendAndReceive(response, result);
    EXPECT_EQ(result, static_cast<int>(response.HeaderLength()));
    EXPECT_EQ(wire, response.HeaderText());
    EXPECT_NE(wire.find("\r\nContent-Length: 20000\r\n\r\n"), std::string::npos);
    std::optional<ClientRecord> record = CopyClientRecord(m_server);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->total, response.HeaderLength());
    EXPECT_EQ(record->done, response.HeaderLength());
}

TEST_F(SendResponseTest, HeadOfAFileSendsNoBody) {
    SetRequest("HEAD");
    std::string path = m_folder.WriteFile("f.bin", Scrambled(100000));
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(path));
    response.BeginResponse(200);
    response.SetConnection();
    response.FinishHeaders();
    int result = -1;
    std::string wire = SendAndReceive(response, result);
    EXPECT_EQ(wire, response.HeaderText());
    EXPECT_NE(wire.find("Content-Length: 100000\r\n"), std::string::npos);
}

TEST_F(SendResponseTest, MultiMegabyteFileArrivesWholeWithProgressPerBlock) {
    SetRequest("GET");
    const std::string content = Scrambled(5 * 1024 * 1024 + 123);
    std::string path = m_folder.WriteFile("big.bin", content);
    test::NotificationRecorder clients(NotificationChannel::ClientsList);
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(path));
    response.BeginResponse(200);
    response.SetConnection();
    response.SetContentType("application/octet-stream");
    response.FinishHeaders();
    const std::string header(response.HeaderText());
    int result = -1;
    std::string wire = SendAndReceive(response, result);

    EXPECT_GT(result, 0);
    ASSERT_EQ(wire.size(), header.size() + content.size());
    EXPECT_EQ(wire.substr(0, header.size()), header);
    EXPECT_TRUE(wire.compare(header.size(), std::string::npos, content) == 0);

    std::optional<ClientRecord> record = CopyClientRecord(m_server);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->total, header.size() + content.size());
    EXPECT_EQ(record->done, record->total);
    // The header goes in one post at least, and no file block is larger than kFileSendBlock.
    const size_t fileBlocks = (content.size() + kFileSendBlock - 1) / kFileSendBlock;
    EXPECT_GE(clients.CountOf(kClientInfoProgress), 1 + fileBlocks);
    EXPECT_EQ(clients.CountOf(kClientInfoProgress), clients.Posts().size());
}

TEST_F(SendResponseTest, FileRangeSendsOnlyTheStretch) {
    SetRequest("GET");
    const std::string content = Scrambled(300000);
    std::string path = m_folder.WriteFile("r.bin", content);
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(path));
    ASSERT_TRUE(response.SelectRange(12345, 200000));
    response.BeginResponse(206);
    response.SetConnection();
    response.FinishHeaders();
    int result = -1;
    std::string wire = SendAndReceive(response, result, ProgressReport::Off);
    EXPECT_EQ(wire, std::string(response.HeaderText()) + content.substr(12345, 200000));
}

TEST_F(SendResponseTest, ProgressOffPostsNothing) {
    SetRequest("GET");
    test::NotificationRecorder clients(NotificationChannel::ClientsList);
    HttpResponse response;
    response.BeginResponse(200);
    response.AppendText("abc");
    response.FinishHeaders();
    int result = -1;
    std::string wire = SendAndReceive(response, result, ProgressReport::Off);
    EXPECT_EQ(wire, std::string(response.HeaderText()) + "abc");
    EXPECT_TRUE(clients.Posts().empty());
}

TEST_F(SendResponseTest, LargeMemoryBodyIsSentWhole) {
    SetRequest("POST");
    const std::string body = Scrambled(3 * 1024 * 1024 + 7);
    HttpResponse response;
    response.BeginResponse(200);
    response.AppendBody(body.data(), body.size());
    response.FinishHeaders();
    int result = -1;
    std::string wire = SendAndReceive(response, result);
    EXPECT_GT(result, 0);
    EXPECT_TRUE(wire == std::string(response.HeaderText()) + body);
    std::optional<ClientRecord> record = CopyClientRecord(m_server);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->done, response.TotalLength());
}

TEST_F(SendResponseTest, UnfinishedResponseSendsNothing) {
    SetRequest("GET");
    HttpResponse response;
    response.BeginResponse(200);
    response.AppendText("never finished");
    int result = -1;
    std::string wire = SendAndReceive(response, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(wire, "");
}

TEST_F(SendResponseTest, FileTheKernelCannotSendIsCopiedInstead) {
    SetRequest("GET");
    int directory = ::open(m_folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(directory, 0);
    UnsendableFileBody response(directory);
    response.BeginResponse(200);
    response.AppendText("copied through the buffer");
    response.FinishHeaders();
    int result = -1;
    std::string wire = SendAndReceive(response, result);
    ::close(directory);
    EXPECT_GT(result, 0);
    EXPECT_EQ(wire, std::string(response.HeaderText()) + "copied through the buffer");
}

TEST_F(SendResponseTest, ClientThatStopsReadingIsGivenUp) {
    Connect(4096);
    SetRequest("GET");
    std::string path = m_folder.WriteFile("stall.bin", Scrambled(8 * 1024 * 1024));
    FileResponse file;
    ASSERT_TRUE(file.OpenFile(path));
    file.BeginResponse(200);
    file.FinishHeaders();
    HttpResponse memory;
    memory.BeginResponse(200);
    const std::string body = Scrambled(8 * 1024 * 1024);
    memory.AppendBody(body.data(), body.size());
    memory.FinishHeaders();

    HttpResponse* cases[] = {&file, &memory};
    for (HttpResponse* response : cases) {
        SCOPED_TRACE(response == &file ? "file" : "memory");
        const auto start = steady_clock::now();
        int result = SendResponse(m_connection, *response, ProgressReport::On, SendTiming{50, 400});
        const auto elapsed = steady_clock::now() - start;
        EXPECT_EQ(result, -kWsaETimedOut);
        EXPECT_GE(elapsed, milliseconds(400));
        EXPECT_LT(elapsed, milliseconds(5000));
        m_connection.ClearSend();
    }
}

TEST_F(SendResponseTest, ClientThatLeavesEndsSendingWithAnError) {
    Connect(4096);
    SetRequest("GET");
    std::string path = m_folder.WriteFile("gone.bin", Scrambled(16 * 1024 * 1024));
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(path));
    response.BeginResponse(200);
    response.FinishHeaders();
    // The client takes a little and then closes with unread bytes, which resets the connection. A
    // SIGPIPE from the send after that would end this test process.
    std::future<void> client = std::async(std::launch::async, [this] {
        char buffer[4096];
        ::recv(m_client, buffer, sizeof buffer, 0);
        CloseSocket(m_client);
        m_client = -1;
    });
    int result = SendResponse(m_connection, response, ProgressReport::On, SendTiming{50, 5000});
    client.get();
    EXPECT_EQ(result, -kWsaEConnReset);
}

// Regression: sendfile has no MSG_NOSIGNAL, and its SIGPIPE ended the whole server process.
TEST_F(SendResponseTest, FileSentToAClosedSendingSideRaisesNoSignal) {
    SetRequest("GET");
    std::string path = m_folder.WriteFile("pipe.bin", Scrambled(100000));
    ShutDownBeforeTheBody response(m_connection.Handle());
    ASSERT_TRUE(response.OpenFile(path));
    response.BeginResponse(200);
    response.FinishHeaders();
    int result = SendResponse(m_connection, response, ProgressReport::Off);
    EXPECT_EQ(result, -kWsaEConnReset);
    sigset_t pending;
    ASSERT_EQ(sigpending(&pending), 0);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
}

}  // namespace
}  // namespace sarvo
