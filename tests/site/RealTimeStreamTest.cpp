#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "StreamClient.h"
#include "platform/ContentType.h"
#include "server/ServerIdentity.h"
#include "store/PublishedFiles.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

using test::Exchange;
using test::Get;
using test::LoopbackServer;
using test::StreamClient;
using test::WireResponse;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

void Append(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << text;
}

std::string Chunk(const std::string& data) {
    char size[24];
    std::snprintf(size, sizeof size, "%zx\r\n", data.size());
    return size + data + "\r\n";
}

// Reads chunks until their data adds up to length bytes; every size seen goes to sizes.
std::string ReadChunkedData(StreamClient& client, size_t length, std::vector<size_t>& sizes) {
    std::string data;
    while (data.size() < length) {
        std::string line;
        while (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
            std::string byte = client.ReadExactly(1);
            if (byte.empty())
                return data;
            line += byte;
        }
        size_t size = std::stoul(line, nullptr, 16);
        sizes.push_back(size);
        data += client.ReadExactly(size);
        if (client.ReadExactly(2) != "\r\n")
            return data;
    }
    return data;
}

class RealTimeStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        m_file = m_server.Home().WriteFile("files/live.log", "in the file before the request\n");
        Publish("live.log", m_file, 1);
    }

    void Publish(const std::string& name, const std::string& path, uint32_t realTime,
                 uint32_t useNewest = 0) {
        PublishedFileRecord record;
        record.path = path;
        record.realTime = realTime;
        record.useNewest = useNewest;
        ASSERT_TRUE(SetPublishedFile(name, record));
    }

    LoopbackServer m_server;
    std::string m_file;
};

TEST_F(RealTimeStreamTest, OnlyAppendedBytesAreSentOneChunkPerRead) {
    StreamClient client(m_server.Port(), Get("/live.log"));
    const std::string head = client.ReadHead();
    const std::regex expected(
        "HTTP/1\\.1 200 OK\r\nContent-Type: " + LookupContentType("live.log") +
        "\r\nServer: Sarvo \\(https://keldanworks\\.example\\)\r\nTransfer-Encoding: "
        "chunked\r\nDate: [A-Z][a-z]{2}, \\d{2} [A-Z][a-z]{2} \\d{4} \\d{2}:\\d{2}:\\d{2} "
        "GMT\r\n\r\n");
    EXPECT_TRUE(std::regex_match(head, expected)) << head;

    Append(m_file, "0123456789");
    EXPECT_EQ(client.ReadExactly(15), "a\r\n0123456789\r\n");
    const std::string longer(300, 'L');
    Append(m_file, longer);
    EXPECT_EQ(client.ReadExactly(5 + 300 + 2), "12c\r\n" + longer + "\r\n");
    EXPECT_EQ(client.ReadFor(300ms), "");
}

TEST_F(RealTimeStreamTest, LargeAppendComesInChunksOfAtMostOneRead) {
    StreamClient client(m_server.Port(), Get("/live.log"));
    ASSERT_FALSE(client.ReadHead().empty());
    std::string data(400000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>('a' + i % 23);
    Append(m_file, data);
    std::vector<size_t> sizes;
    EXPECT_EQ(ReadChunkedData(client, data.size(), sizes), data);
    for (size_t size : sizes) {
        EXPECT_GT(size, 0u);
        EXPECT_LE(size, 131072u);
    }
}

TEST_F(RealTimeStreamTest, ShrinkingFileSendsNothingUntilItGrowsPastThePosition) {
    ASSERT_EQ(::truncate(m_file.c_str(), 20), 0);
    StreamClient client(m_server.Port(), Get("/live.log"));
    ASSERT_FALSE(client.ReadHead().empty());
    Append(m_file, "ABCDE");  // the stream is now at 25
    EXPECT_EQ(client.ReadExactly(Chunk("ABCDE").size()), Chunk("ABCDE"));
    ASSERT_EQ(::truncate(m_file.c_str(), 10), 0);
    EXPECT_EQ(client.ReadFor(300ms), "");
    Append(m_file, std::string(12, 'x'));  // 22 bytes, still short of 25
    EXPECT_EQ(client.ReadFor(300ms), "");
    Append(m_file, "yyyZZ");  // 27: the two bytes past the position are sent
    EXPECT_EQ(client.ReadExactly(Chunk("ZZ").size()), Chunk("ZZ"));
}

TEST_F(RealTimeStreamTest, NewestFilePatternFollowsANewerFile) {
    const std::string day1 = m_server.Home().WriteFile("logs/day1.log", "one\n");
    const std::string day2 = m_server.Home().WriteFile("logs/day2.log", "two\n");
    const timespec older[2] = {{0, UTIME_OMIT}, {1105797959, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, day1.c_str(), older, 0), 0);
    Publish("today.log", day1, 1, 1);

    StreamClient client(m_server.Port(), Get("/today.log"));
    std::string head = client.ReadHead();
    EXPECT_NE(head.find("\r\nContent-Type: " + LookupContentType("day1.log") + "\r\n"), std::string::npos);
    Append(day1, "to the older file");
    EXPECT_EQ(client.ReadFor(300ms), "");
    Append(day2, "to the newest");
    EXPECT_EQ(client.ReadExactly(Chunk("to the newest").size()), Chunk("to the newest"));
    client.Close();
    // File times are as coarse as the kernel's clock tick; a clearly older day2 leaves no tie.
    const timespec lessOld[2] = {{0, UTIME_OMIT}, {1105797959 + 100, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, day2.c_str(), lessOld, 0), 0);

    const std::string day3 = m_server.Home().WriteFile("logs/day3.log", "three\n");
    StreamClient next(m_server.Port(), Get("/today.log"));
    ASSERT_FALSE(next.ReadHead().empty());
    Append(day2, "no longer the newest");
    EXPECT_EQ(next.ReadFor(300ms), "");
    Append(day3, "day three");
    EXPECT_EQ(next.ReadExactly(Chunk("day three").size()), Chunk("day three"));
}

TEST_F(RealTimeStreamTest, HeadAndUnmarkedFilesGoToTheOrdinaryTransfer) {
    WireResponse head = Exchange(m_server.Port(), "HEAD /live.log HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(head.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(head.Header("Content-Length"), "31");
    EXPECT_FALSE(head.HasHeader("Transfer-Encoding"));
    EXPECT_TRUE(head.HasHeader("ETag"));
    EXPECT_EQ(head.body, "");
    Publish("live.log", m_file, 0);
    EXPECT_EQ(Exchange(m_server.Port(), Get("/live.log")).body, "in the file before the request\n");
    // A marked folder is nothing to stream.
    const std::string folder = m_server.Home().Child("a folder");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    Publish("folder.log", folder, 1);
    EXPECT_EQ(Exchange(m_server.Port(), Get("/folder.log")).statusLine, "HTTP/1.1 404 Not Found");
}

TEST_F(RealTimeStreamTest, DepartedVisitorEndsAnIdleStream) {
    {
        StreamClient client(m_server.Port(), Get("/live.log"));
        ASSERT_FALSE(client.ReadHead().empty());
    }
    // Noticed while the stream waits, long before the mark would be read again.
    EXPECT_TRUE(m_server.WaitForIdle(3s));
}

TEST_F(RealTimeStreamTest, RemovingTheMarkEndsAnIdleStreamWithTheLastChunk) {
    const std::string other = m_server.Home().WriteFile("files/other.log", "");
    Publish("other.log", other, 1);
    StreamClient ending(m_server.Port(), Get("/live.log"));
    StreamClient staying(m_server.Port(), Get("/other.log"));
    ASSERT_FALSE(ending.ReadHead().empty());
    ASSERT_FALSE(staying.ReadHead().empty());
    const auto start = Clock::now();
    Publish("live.log", m_file, 0);

    std::string received;
    ASSERT_TRUE(ending.WaitForClose(25s, received));
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(received, "0\r\n\r\n");
    // The mark is read again after 15 seconds without new bytes.
    EXPECT_GT(elapsed, 14s);
    EXPECT_LT(elapsed, 20s);

    // The stream whose file is still marked went past its own check and goes on.
    EXPECT_EQ(staying.ReadFor(500ms), "");
    Append(other, "still here");
    EXPECT_EQ(staying.ReadExactly(Chunk("still here").size()), Chunk("still here"));
}

}  // namespace
}  // namespace sarvo
