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

// A body that claims to be a file stretch on a descriptor the kernel cannot send from (a directory), so
// the sender has to fall back to copying the in-memory body.
class UnsendableFileBody : public HttpResponse {
public:
    explicit UnsendableFileBody(int directory) : m_directory(directory) {}
    bool FileBody(FileBodyStretch& out) const override {
        out = {m_directory, 0, BodyLength()};
        return true;
    }
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
    SocketHandle m_socket;
    mutable int m_looks = 0;
};

// The server end of a loopback TCP connection, non-blocking as the server makes it, and the client end
// as a plain descriptor.
class SendResponseTest : public ::testing::Test {
protected:
    void SetUp() override { Connect(0); }
    void TearDown() override {
        RecordClosed(m_server);
        if (m_client >= 0)
            CloseSocket(m_client);
    }

    // bufferSize > 0 makes both kernel buffers small, so a client that stops reading stalls the sender.
    void Connect(int bufferSize) {
        int listener = CreateTcpSocket();
        sockaddr_in address{};
        ASSERT_EQ(Bind(listener, htonl(INADDR_LOOPBACK), 0), 0);
        ASSERT_EQ(Listen(listener, 1), 0);
        ASSERT_EQ(GetSockName(listener, address), 0);
        if (m_client >= 0)
            CloseSocket(m_client);
        m_client = CreateTcpSocket();
        if (bufferSize > 0)
            ::setsockopt(m_client, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
        ASSERT_EQ(sarvo::Connect(m_client, htonl(INADDR_LOOPBACK), ntohs(address.sin_port)), 0);
        int accepted = Accept(listener, nullptr);
        CloseSocket(listener);
        ASSERT_GE(accepted, 0);
        if (bufferSize > 0)
            ::setsockopt(accepted, SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);
        RecordClosed(m_server);
        m_connection.Attach(accepted);
        ASSERT_EQ(m_connection.SetBlocking(false), 0);
        m_server = accepted;
        RecordConnected(m_server);
        timeval limit{20, 0};
        ::setsockopt(m_client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }

    // Sends the response to a request with the given method while the client reads until the server
    // closes; returns what arrived.
    std::string SendAndReceive(const char* method, HttpResponse& response, int& result,
                               ProgressReport report = ProgressReport::On) {
        m_connection.request.Parse(std::string(method) + " /x HTTP/1.1\r\nHost: h\r\n\r\n");
        std::future<std::string> received = std::async(std::launch::async, [this] {
            std::string bytes;
            char buffer[65536];
            ssize_t count;
            while ((count = ::recv(m_client, buffer, sizeof buffer, 0)) > 0)
                bytes.append(buffer, static_cast<size_t>(count));
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

// Memory and file bodies of several megabytes, whole files and ranges, each with or without progress.
TEST_F(SendResponseTest, BodiesArriveWholeWithProgressPerBlock) {
    const std::string content = Scrambled(5 * 1024 * 1024 + 123);
    const std::string path = m_folder.WriteFile("big.bin", content);
    const struct {
        const char* description;
        bool file;
        size_t first;
        size_t length;
        ProgressReport report;
    } cases[] = {
        {"whole file", true, 0, content.size(), ProgressReport::On},
        {"file range", true, 12345, 200000, ProgressReport::Off},
        {"memory body", false, 0, 3 * 1024 * 1024 + 7, ProgressReport::On},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        Connect(0);
        test::NotificationRecorder clients(NotificationChannel::ClientsList);
        FileResponse response;
        if (c.file) {
            ASSERT_TRUE(response.OpenFile(path));
            ASSERT_TRUE(response.SelectRange(c.first, c.length));
        }
        response.BeginResponse(c.first > 0 ? 206 : 200);
        if (!c.file)
            response.AppendBody(content.data(), c.length);
        response.SetConnection();
        response.FinishHeaders();
        const std::string header(response.HeaderText());
        int result = -1;
        std::string wire = SendAndReceive("GET", response, result, c.report);
        EXPECT_GT(result, 0);
        ASSERT_EQ(wire.size(), header.size() + c.length);
        EXPECT_TRUE(wire == header + content.substr(c.first, c.length));
        if (c.report == ProgressReport::Off) {
            EXPECT_TRUE(clients.Posts().empty());
            continue;
        }
        std::optional<ClientRecord> record = CopyClientRecord(m_server);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->total, wire.size());
        EXPECT_EQ(record->done, record->total);
        // The header goes in one post at least, and no file block is larger than kFileSendBlock.
        if (c.file) {
            EXPECT_GE(clients.CountOf(kClientInfoProgress),
                      1 + (c.length + kFileSendBlock - 1) / kFileSendBlock);
        }
        EXPECT_EQ(clients.CountOf(kClientInfoProgress), clients.Posts().size());
    }
}

// A file's HEAD is checked on the wire (ServerIntegrationTest); a body built in memory is left out too.
TEST_F(SendResponseTest, HeadOfAMemoryBodySendsTheHeaderAlone) {
    HttpResponse response;
    response.BeginResponse(200);
    response.AppendText(std::string(100000, 'b'));
    response.SetConnection();
    response.FinishHeaders();
    int result = -1;
    std::string wire = SendAndReceive("HEAD", response, result);
    EXPECT_EQ(result, static_cast<int>(response.HeaderLength()));
    EXPECT_EQ(wire, response.HeaderText());
    EXPECT_NE(wire.find("\r\nContent-Length: 100000\r\n\r\n"), std::string::npos);
    std::optional<ClientRecord> record = CopyClientRecord(m_server);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->total, response.HeaderLength());
    EXPECT_EQ(record->done, response.HeaderLength());
}

TEST_F(SendResponseTest, UnfinishedResponseSendsNothing) {
    HttpResponse response;
    response.BeginResponse(200);
    response.AppendText("never finished");
    int result = -1;
    EXPECT_EQ(SendAndReceive("GET", response, result), "");
    EXPECT_EQ(result, 0);
}

TEST_F(SendResponseTest, FileTheKernelCannotSendIsCopiedInstead) {
    int directory = ::open(m_folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(directory, 0);
    UnsendableFileBody response(directory);
    response.BeginResponse(200);
    response.AppendText("copied through the buffer");
    response.FinishHeaders();
    int result = -1;
    std::string wire = SendAndReceive("GET", response, result);
    ::close(directory);
    EXPECT_GT(result, 0);
    EXPECT_EQ(wire, std::string(response.HeaderText()) + "copied through the buffer");
}

TEST_F(SendResponseTest, ClientThatStopsReadingIsGivenUp) {
    Connect(4096);
    m_connection.request.Parse("GET /x HTTP/1.1\r\n\r\n");
    const std::string body = Scrambled(8 * 1024 * 1024);
    FileResponse file;
    ASSERT_TRUE(file.OpenFile(m_folder.WriteFile("stall.bin", body)));
    HttpResponse memory;
    memory.BeginResponse(200);
    memory.AppendBody(body.data(), body.size());
    memory.FinishHeaders();
    file.BeginResponse(200);
    file.FinishHeaders();
    for (HttpResponse* response : {static_cast<HttpResponse*>(&file), &memory}) {
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

// Regression: sendfile has no MSG_NOSIGNAL, and its SIGPIPE ended the whole server process.
TEST_F(SendResponseTest, FileSentToAClosedSendingSideRaisesNoSignal) {
    m_connection.request.Parse("GET /x HTTP/1.1\r\n\r\n");
    ShutDownBeforeTheBody response(m_connection.Handle());
    ASSERT_TRUE(response.OpenFile(m_folder.WriteFile("pipe.bin", Scrambled(100000))));
    response.BeginResponse(200);
    response.FinishHeaders();
    EXPECT_EQ(SendResponse(m_connection, response, ProgressReport::Off), -kWsaEConnReset);
    sigset_t pending;
    ASSERT_EQ(sigpending(&pending), 0);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
}

}  // namespace
}  // namespace sarvo
