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

// Chunks are queued on one end of a socket pair and read back from the other.
class ChunkTest : public ::testing::Test {
protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        m_socket.Attach(ends[0]);
        m_peer = ends[1];
    }
    void TearDown() override { ::close(m_peer); }

    std::string Flush() {
        while (m_socket.SendFill() > 0 && m_socket.SendSome(1000) >= 0) {
        }
        std::string received;
        char buffer[4096];
        pollfd entry{m_peer, POLLIN, 0};
        ssize_t count;
        while (::poll(&entry, 1, 100) > 0 && (count = ::recv(m_peer, buffer, sizeof buffer, 0)) > 0)
            received.append(buffer, static_cast<size_t>(count));
        return received;
    }

    TcpSocket m_socket;
    int m_peer = -1;
};

TEST_F(ChunkTest, LengthIsLowerCaseHexWithoutLeadingZeros) {
    const std::pair<size_t, const char*> cases[] = {{0, "0\r\n"},       {1, "1\r\n"},       {15, "f\r\n"},
                                                    {16, "10\r\n"},     {300, "12c\r\n"},   {255, "ff\r\n"},
                                                    {4096, "1000\r\n"}, {65535, "ffff\r\n"}};
    for (const auto& [length, sizeLine] : cases) {
        SCOPED_TRACE(length);
        // Binary bytes, NULs included, go out untouched.
        std::string data(length, '\0');
        for (size_t index = 0; index < length; ++index)
            data[index] = static_cast<char>(index % 256);
        std::string expected = sizeLine + data + "\r\n";
        EXPECT_EQ(QueueChunk(m_socket, data.data(), data.size()), expected.size());
        EXPECT_EQ(Flush(), expected);
    }
}

TEST_F(ChunkTest, ChunksFollowEachOtherAndTextIsConvertedToUtf8) {
    ASSERT_TRUE(ProcessCodePageIsUtf8());
    EXPECT_EQ(SendChunk(m_socket, "abc"), 8u);
    // A valid sequence counts its bytes, not its letters.
    EXPECT_EQ(SendChunk(m_socket, "caf\xC3\xA9"), 18u);
    // A byte that is not UTF-8 is replaced.
    SendChunk(m_socket, "a\xE9");
    EXPECT_EQ(SendChunk(m_socket, ""), 30u);
    EXPECT_EQ(Flush(), "3\r\nabc\r\n5\r\ncaf\xC3\xA9\r\n2\r\na?\r\n0\r\n\r\n");
}

}  // namespace
}  // namespace sarvo
