#include "server/Logbook.h"

#include <arpa/inet.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "store/Registry.h"
#include "store/SiteSettings.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

const std::string kSeparator = std::string(60, '=') + "\r\n";

sockaddr_in Peer(const char* dotted, uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    EXPECT_EQ(::inet_pton(AF_INET, dotted, &peer.sin_addr), 1) << dotted;
    return peer;
}

using test::ReadWholeFile;

TEST(LogbookTest, RecordBytes) {
    const std::string head = "Time: 2005-01-02 03:04:05\r\nAddr: 192.168.0.10:65535\r\n";
    const struct {
        const char* description;
        const char* message;
        std::string header;
        std::string expected;
    } cases[] = {
        // A request and an auto-block are recorded on the wire (ServerIntegrationTest); these are the edges.
        {"message with its own line end", "*** Disconnected by client.\r\n", "GET /slow",
         head + "GET /slow\r\n\r\n*** Disconnected by client.\r\n" + kSeparator},
        {"message without header", "*** Disconnected by client.", "",
         head + "\r\n*** Disconnected by client.\r\n" + kSeparator},
        {"header of line ends only", "", "\r\n\n\r", head + kSeparator},
        {"bare LF inside kept", "", "A\nB\n", head + "A\nB\r\n" + kSeparator},
        {"NUL bytes are written as received", "", std::string("GET /\0x", 7),
         head + std::string("GET /\0x", 7) + "\r\n" + kSeparator},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(ComposeLogRecord(SystemTime{2005, 1, 0, 2, 3, 4, 5, 678}, Peer("192.168.0.10", 65535),
                                   c.message, c.header),
                  c.expected);
    }
}

// A written record starts with the local time of writing; the rest is known exactly.
void ExpectRecords(const std::string& content, const std::vector<std::string>& tails) {
    std::string pattern;
    for (const std::string& tail : tails)
        pattern += "Time: \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\r\n" +
                   std::regex_replace(tail, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") + kSeparator;
    EXPECT_TRUE(std::regex_match(content, std::regex(pattern))) << content;
}

TEST(LogbookTest, FileIsCreatedThenAppendedTo) {
    test::ScopedSarvoHome home;
    EXPECT_EQ(LogbookPath(), home.Path() + "/sarvolog.txt");
    EXPECT_FALSE(WriteLogRecord(Peer("10.0.0.7", 4321), false, "", "GET /")) << "logging is off";
    ASSERT_TRUE(SetLogEnabled(true));
    ASSERT_FALSE(std::filesystem::exists(LogbookPath()));

    EXPECT_TRUE(WriteLogRecord(Peer("10.0.0.7", 4321), false, "", "GET /a HTTP/1.1\r\n\r\n"));
    const std::string first = "Addr: 10.0.0.7:4321\r\nGET /a HTTP/1.1\r\n";
    ExpectRecords(ReadWholeFile(LogbookPath()), {first});
    EXPECT_TRUE(WriteLogRecord(Peer("10.0.0.8", 1), false, "*** Auto Block Malicious Request.", "GET /%"));
    const std::string second = "Addr: 10.0.0.8:1\r\nGET /%\r\n\r\n*** Auto Block Malicious Request.\r\n";
    ExpectRecords(ReadWholeFile(LogbookPath()), {first, second});
    EXPECT_EQ(std::filesystem::status(LogbookPath()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(LogbookTest, LogSelfOffLeavesOutOnlyThisComputer) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(SetLogEnabled(true));
    ASSERT_TRUE(SetLogSelf(false));
    EXPECT_FALSE(WriteLogRecord(Peer("127.0.0.1", 5000), true, "", "GET /local"));
    EXPECT_FALSE(std::filesystem::exists(LogbookPath()));
    EXPECT_TRUE(WriteLogRecord(Peer("10.0.0.2", 5001), false, "", "GET /remote"));
    ASSERT_TRUE(SetLogSelf(true));
    EXPECT_TRUE(WriteLogRecord(Peer("127.0.0.1", 5000), true, "", "GET /local"));
    ExpectRecords(ReadWholeFile(LogbookPath()),
                  {"Addr: 10.0.0.2:5001\r\nGET /remote\r\n", "Addr: 127.0.0.1:5000\r\nGET /local\r\n"});
}

// Regression: a deleted logbook swallowed every later record through the descriptor kept open; one
// truncated through that descriptor must start afresh.
TEST(LogbookTest, DeletedOrTruncatedFileStartsAfresh) {
    for (bool deleted : {true, false}) {
        SCOPED_TRACE(deleted ? "deleted" : "truncated");
        test::ScopedSarvoHome home;
        ASSERT_TRUE(SetLogEnabled(true));
        ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.1", 1), false, "", "first"));
        const int descriptor = OpenLogbook();
        ASSERT_GE(descriptor, 0);
        if (deleted) {
            ASSERT_TRUE(std::filesystem::remove(LogbookPath()));
        } else
            ASSERT_EQ(::ftruncate(descriptor, 0), 0);
        ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.1", 2), false, "", "second"));
        ExpectRecords(ReadWholeFile(LogbookPath()), {"Addr: 10.0.0.1:2\r\nsecond\r\n"});
        EXPECT_EQ(OpenLogbook(), descriptor);
    }
}

TEST(LogbookTest, AnotherDocumentsFolderGetsItsOwnFile) {
    test::ScopedSarvoHome first;
    ASSERT_TRUE(SetLogEnabled(true));
    ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.1", 1), false, "", "to first"));
    const int descriptor = OpenLogbook();
    const std::string firstPath = LogbookPath();
    {
        // A logbook that is there already is appended to.
        test::ScopedSarvoHome second;
        ASSERT_TRUE(SetLogEnabled(true));
        second.WriteFile("sarvolog.txt", "earlier\r\n");
        ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.2", 2), false, "", "to second"));
        const std::string content = ReadWholeFile(LogbookPath());
        ASSERT_EQ(content.substr(0, 9), "earlier\r\n");
        ExpectRecords(content.substr(9), {"Addr: 10.0.0.2:2\r\nto second\r\n"});
        // The number a caller kept now writes to the current logbook.
        EXPECT_EQ(OpenLogbook(), descriptor);
    }
    CloseSettingsStore();
    ExpectRecords(ReadWholeFile(firstPath), {"Addr: 10.0.0.1:1\r\nto first\r\n"});

    const std::string missing = first.Child("missing/deeper");
    ::setenv("SARVO_HOME", missing.c_str(), 1);
    EXPECT_EQ(OpenLogbook(), -1);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(LogbookTest, ConcurrentRecordsStayWhole) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(SetLogEnabled(true));
    constexpr int kThreads = 8;
    constexpr int kRecordsEach = 40;
    // Headers of several kilobytes, so that a record split into pieces would show.
    auto header = [](int thread) { return "GET /" + std::string(6000, static_cast<char>('a' + thread)); };
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread, &header] {
            for (int record = 0; record < kRecordsEach; ++record)
                EXPECT_TRUE(WriteLogRecord(Peer("10.0.0.1", static_cast<uint16_t>(thread + 1)), false, "",
                                           header(thread)));
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    // Every record is as long as any other, so each must lie whole at its own offset. Parsed by hand:
    // std::regex recurses per character and would not survive records this long.
    const std::string content = ReadWholeFile(LogbookPath());
    const size_t timeLine = std::string("Time: 2005-01-02 03:04:05\r\n").size();
    const std::string addr = "Addr: 10.0.0.1:";
    auto rest = [&](int thread) {
        return addr + std::to_string(thread + 1) + "\r\n" + header(thread) + "\r\n" + kSeparator;
    };
    const size_t length = timeLine + rest(0).size();
    ASSERT_EQ(content.size(), length * kThreads * kRecordsEach);
    std::vector<int> counts(kThreads, 0);
    for (size_t offset = 0; offset < content.size(); offset += length) {
        const int thread = content[offset + timeLine + addr.size()] - '1';
        ASSERT_TRUE(thread >= 0 && thread < kThreads) << "mixed record at " << offset;
        ASSERT_EQ(content.compare(offset, 6, "Time: "), 0) << "mixed record at " << offset;
        ASSERT_EQ(content.compare(offset + timeLine, length - timeLine, rest(thread)), 0)
            << "mixed record at " << offset;
        ++counts[thread];
    }
    EXPECT_EQ(counts, std::vector<int>(kThreads, kRecordsEach));
}

}  // namespace
}  // namespace sarvo
