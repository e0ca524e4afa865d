#include "server/Chunk.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "platform/CodePage.h"
#include "server/TcpSocket.h"

namespace sarvo {
namespace {

// A connected pair: chunks are queued on the socket object and read back from the other end.
class ChunkTest : public ::testing::Test {
protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        m_socket.Attach(ends[0]);
        m_peer = ends[1];
    }
    void TearDown() override {
        if (m_peer >= 0)
            ::close(m_peer);
    }

    // Sends everything queued and returns the bytes that arrived at the other end.
    std::string Flush() {
        while (m_socket.SendFill() > 0) {
            if (m_socket.SendSome(1000) < 0)
                return "send failed";
        }
        std::string received;
        pollfd entry{m_peer, POLLIN, 0};
        while (::poll(&entry, 1, 100) > 0) {
            char buffer[4096];
            ssize_t count = ::recv(m_peer, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            received.append(buffer, static_cast<size_t>(count));
        }
        return received;
    }

    TcpSocket m_socket;
    int m_peer = -1;
};

TEST_F(ChunkTest, ThreeHundredBytesAreFramedAs12c) {
    std::string text(300, 'x');
    EXPECT_EQ(SendChunk(m_socket, text), 307u);
    EXPECT_EQ(Flush(), "12c\r\n" + text + "\r\n");
}

TEST_F(ChunkTest, EmptyTextQueuesTheLastChunk) {
    EXPECT_EQ(SendChunk(m_socket, ""), 5u);
    EXPECT_EQ(Flush(), "0\r\n\r\n");
    EXPECT_EQ(kLastChunk, "0\r\n\r\n");
}

TEST_F(ChunkTest, LengthIsLowerCaseHexWithoutLeadingZeros) {
    struct Case {
        size_t length;
        const char* sizeLine;
    } cases[] = {{1, "1\r\n"},    {15, "f\r\n"},      {16, "10\r\n"},
                 {255, "ff\r\n"}, {4096, "1000\r\n"}, {65535, "ffff\r\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        // Binary bytes, NULs included, go out untouched.
        std::string data(c.length, '\0');
        for (size_t index = 0; index < c.length; ++index)
            data[index] = static_cast<char>(index % 256);
        std::string expected = c.sizeLine + data + "\r\n";
        EXPECT_EQ(QueueChunk(m_socket, data.data(), data.size()), expected.size());
        EXPECT_EQ(Flush(), expected);
    }
}

TEST_F(ChunkTest, ChunksFollowEachOtherInTheSendBuffer) {
    EXPECT_EQ(SendChunk(m_socket, "abc"), 8u);
    EXPECT_EQ(SendChunk(m_socket, "defgh"), 18u);
    EXPECT_EQ(m_socket.QueueSendText(kLastChunk), 23u);
    EXPECT_EQ(Flush(), "3\r\nabc\r\n5\r\ndefgh\r\n0\r\n\r\n");
}

TEST_F(ChunkTest, TextIsConvertedToUtf8BeforeItIsCounted) {
    ASSERT_TRUE(ProcessCodePageIsUtf8());
    // A valid sequence passes as it is and counts its bytes, not its letters.
    EXPECT_EQ(SendChunk(m_socket, "caf\xC3\xA9"), 10u);
    EXPECT_EQ(Flush(), "5\r\ncaf\xC3\xA9\r\n");
    // A byte that is not UTF-8 is what the conversion replaces.
    SendChunk(m_socket, "a\xE9");
    EXPECT_EQ(Flush(), "2\r\na?\r\n");
}

}  // namespace
}  // namespace sarvo
