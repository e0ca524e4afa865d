#include "server/Logbook.h"

#include <arpa/inet.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
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

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

struct RecordCase {
    const char* description;
    const char* message;
    std::string header;
    std::string expected;
};

TEST(LogbookTest, RecordBytes) {
    SystemTime time;
    time.year = 2005;
    time.month = 1;
    time.day = 2;
    time.hour = 3;
    time.minute = 4;
    time.second = 5;
    time.milliseconds = 678;
    const std::string head = "Time: 2005-01-02 03:04:05\r\nAddr: 192.168.0.10:65535\r\n";
    const RecordCase cases[] = {
        {"request without message", "", "GET / HTTP/1.1\r\nHost: a\r\n\r\n",
         head + "GET / HTTP/1.1\r\nHost: a\r\n" + kSeparator},
        {"auto-block message", "*** Auto Block Unknown Request.", "PROPFIND /x HTTP/1.1\r\n\r\n",
         head + "PROPFIND /x HTTP/1.1\r\n\r\n*** Auto Block Unknown Request.\r\n" + kSeparator},
        {"message with its own line end", "*** Disconnected by client.\r\n", "GET /slow",
         head + "GET /slow\r\n\r\n*** Disconnected by client.\r\n" + kSeparator},
        {"message without header", "*** Disconnected by client.", "",
         head + "\r\n*** Disconnected by client.\r\n" + kSeparator},
        {"header of line ends only", "", "\r\n\n\r", head + kSeparator},
        {"bare LF inside kept", "", "A\nB\n", head + "A\nB\r\n" + kSeparator},
        {"NUL bytes are written as received", "", std::string("GET /\0x", 7),
         head + std::string("GET /\0x", 7) + "\r\n" + kSeparator},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(ComposeLogRecord(time, Peer("192.168.0.10", 65535), c.message, c.header), c.expected);
    }

    SystemTime late;
    late.year = 2024;
    late.month = 12;
    late.day = 31;
    late.hour = 23;
    late.minute = 59;
    late.second = 59;
    EXPECT_EQ(ComposeLogRecord(late, Peer("10.0.0.1", 80), "", "x"),
              "Time: 2024-12-31 23:59:59\r\nAddr: 10.0.0.1:80\r\nx\r\n" + kSeparator);
}

TEST(LogbookTest, FileLiesInTheDocumentsFolder) {
    test::ScopedSarvoHome home;
    EXPECT_EQ(LogbookPath(), home.Path() + "/sarvolog.txt");
}

// A written record starts with the local time of writing; the rest is known exactly.
void ExpectRecords(const std::string& content, const std::vector<std::string>& tails) {
    std::string pattern;
    for (const std::string& tail : tails)
        pattern += "Time: \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\r\n" +
                   std::regex_replace(tail, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
    EXPECT_TRUE(std::regex_match(content, std::regex(pattern))) << content;
}

TEST(LogbookTest, FileIsCreatedThenAppendedTo) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(SetLogEnabled(true));
    ASSERT_FALSE(std::filesystem::exists(LogbookPath()));

    EXPECT_TRUE(WriteLogRecord(Peer("10.0.0.7", 4321), false, "", "GET /a HTTP/1.1\r\n\r\n"));
    const std::string first = "Addr: 10.0.0.7:4321\r\nGET /a HTTP/1.1\r\n" + kSeparator;
    ExpectRecords(ReadWholeFile(LogbookPath()), {first});

    EXPECT_TRUE(WriteLogRecord(Peer("10.0.0.8", 1), false, "*** Auto Block Malicious Request.", "GET /%"));
    const std::string second =
        "Addr: 10.0.0.8:1\r\nGET /%\r\n\r\n*** Auto Block Malicious Request.\r\n" + kSeparator;
    ExpectRecords(ReadWholeFile(LogbookPath()), {first, second});
    EXPECT_EQ(std::filesystem::status(LogbookPath()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(LogbookTest, ExistingFileIsAppendedTo) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(SetLogEnabled(true));
    home.WriteFile("sarvolog.txt", "earlier\r\n");
    EXPECT_TRUE(WriteLogRecord(Peer("10.0.0.7", 4321), false, "", "GET /"));
    std::string content = ReadWholeFile(LogbookPath());
    ASSERT_EQ(content.substr(0, 9), "earlier\r\n");
    ExpectRecords(content.substr(9), {"Addr: 10.0.0.7:4321\r\nGET /\r\n" + kSeparator});
}

TEST(LogbookTest, LoggingOffWritesNothing) {
    test::ScopedSarvoHome home;
    EXPECT_FALSE(IsLogEnabled());
    EXPECT_FALSE(WriteLogRecord(Peer("10.0.0.7", 4321), false, "", "GET /"));
    EXPECT_FALSE(std::filesystem::exists(LogbookPath()));
}

TEST(LogbookTest, LogSelfOffLeavesOutOnlyThisComputer) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(SetLogEnabled(true));
    ASSERT_TRUE(SetLogSelf(false));
    EXPECT_FALSE(WriteLogRecord(Peer("127.0.0.1", 5000), true, "", "GET /local"));
    EXPECT_FALSE(std::filesystem::exists(LogbookPath()));
    EXPECT_TRUE(WriteLogRecord(Peer("10.0.0.2", 5001), false, "", "GET /remote"));
    ExpectRecords(ReadWholeFile(LogbookPath()), {"Addr: 10.0.0.2:5001\r\nGET /remote\r\n" + kSeparator});

    ASSERT_TRUE(SetLogSelf(true));
    EXPECT_TRUE(WriteLogRecord(Peer("127.0.0.1", 5000), true, "", "GET /local"));
    ExpectRecords(ReadWholeFile(LogbookPath()), {"Addr: 10.0.0.2:5001\r\nGET /remote\r\n" + kSeparator,
                                                 "Addr: 127.0.0.1:5000\r\nGET /local\r\n" + kSeparator});
}

// Regression: a deleted logbook swallowed every later record through the descriptor kept open.
TEST(LogbookTest, DeletedFileIsCreatedAgain) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(SetLogEnabled(true));
    ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.1", 1), false, "", "first"));
    const int descriptor = OpenLogbook();
    ASSERT_GE(descriptor, 0);
    ASSERT_TRUE(std::filesystem::remove(LogbookPath()));

    ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.1", 2), false, "", "second"));
    ExpectRecords(ReadWholeFile(LogbookPath()), {"Addr: 10.0.0.1:2\r\nsecond\r\n" + kSeparator});
    EXPECT_EQ(OpenLogbook(), descriptor);
}

TEST(LogbookTest, TruncatingThroughTheDescriptorStartsAfresh) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(SetLogEnabled(true));
    ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.1", 1), false, "", "first"));
    const int descriptor = OpenLogbook();
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(::ftruncate(descriptor, 0), 0);
    ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.1", 2), false, "", "second"));
    ExpectRecords(ReadWholeFile(LogbookPath()), {"Addr: 10.0.0.1:2\r\nsecond\r\n" + kSeparator});
}

TEST(LogbookTest, AnotherDocumentsFolderGetsItsOwnFile) {
    test::ScopedSarvoHome first;
    ASSERT_TRUE(SetLogEnabled(true));
    ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.1", 1), false, "", "to first"));
    const int descriptor = OpenLogbook();
    const std::string firstPath = LogbookPath();
    {
        test::ScopedSarvoHome second;
        ASSERT_NE(LogbookPath(), firstPath);
        ASSERT_TRUE(SetLogEnabled(true));
        ASSERT_TRUE(WriteLogRecord(Peer("10.0.0.2", 2), false, "", "to second"));
        ExpectRecords(ReadWholeFile(LogbookPath()), {"Addr: 10.0.0.2:2\r\nto second\r\n" + kSeparator});
        // The number a caller kept now writes to the current logbook.
        EXPECT_EQ(OpenLogbook(), descriptor);
    }
    CloseSettingsStore();
    ExpectRecords(ReadWholeFile(firstPath), {"Addr: 10.0.0.1:1\r\nto first\r\n" + kSeparator});
}

TEST(LogbookTest, UnusableFolderGivesNoDescriptor) {
    test::ScopedSarvoHome home;
    const std::string missing = home.Child("missing/deeper");
    ::setenv("SARVO_HOME", missing.c_str(), 1);
    EXPECT_EQ(OpenLogbook(), -1);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(LogbookTest, ConcurrentRecordsStayWhole) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(SetLogEnabled(true));
    constexpr int kThreads = 8;
    constexpr int kRecordsEach = 40;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread] {
            // Headers of several kilobytes, so that a record split into pieces would show.
            const std::string header =
                "GET /" + std::string(6000, static_cast<char>('a' + thread)) + " HTTP/1.1";
            for (int record = 0; record < kRecordsEach; ++record)
                EXPECT_TRUE(
                    WriteLogRecord(Peer("10.0.0.1", static_cast<uint16_t>(thread + 1)), false, "", header));
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    // Parsed by hand: std::regex recurses per character and would not survive records this long.
    const std::string content = ReadWholeFile(LogbookPath());
    std::vector<int> counts(kThreads, 0);
    size_t offset = 0;
    while (offset < content.size()) {
        size_t end = content.find(kSeparator, offset);
        ASSERT_NE(end, std::string::npos) << "a record without its separator at " << offset;
        end += kSeparator.size();
        const std::string one = content.substr(offset, end - offset);
        const size_t timeEnd = one.find("\r\n");
        ASSERT_TRUE(one.rfind("Time: ", 0) == 0 && timeEnd == 25) << one.substr(0, 40);
        const std::string addr = "Addr: 10.0.0.1:";
        ASSERT_EQ(one.compare(timeEnd + 2, addr.size(), addr), 0) << "mixed record at " << offset;
        const int thread = one[timeEnd + 2 + addr.size()] - '1';
        ASSERT_TRUE(thread >= 0 && thread < kThreads) << "mixed record at " << offset;
        const std::string expected = addr + std::to_string(thread + 1) + "\r\nGET /" +
                                     std::string(6000, static_cast<char>('a' + thread)) + " HTTP/1.1\r\n" +
                                     kSeparator;
        ASSERT_EQ(one.substr(timeEnd + 2), expected) << "mixed record at " << offset;
        ++counts[thread];
        offset = end;
    }
    for (int thread = 0; thread < kThreads; ++thread)
        EXPECT_EQ(counts[thread], kRecordsEach) << thread;
}

}  // namespace
}  // namespace sarvo
