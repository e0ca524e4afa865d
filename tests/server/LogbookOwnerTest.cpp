#include "server/LogbookOwner.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "server/Logbook.h"
#include "store/Registry.h"
#include "store/SiteSettings.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

const std::string kSeparator = std::string(kLogSeparatorLength, '=') + "\r\n";

std::string Record(const std::string& lines) {
    return lines + kSeparator;
}

TEST(LogbookOwnerTest, ListRecordsFindsEachRecordOnce) {
    const std::string first = Record("Time: 1\r\nGET /alpha HTTP/1.1\r\nReferer: /alpha\r\n");
    const std::string second = Record("Time: 2\r\nGET /beta HTTP/1.1\r\n");
    const std::string third =
        Record("Time: 3\r\nGET /alpha/gamma HTTP/1.1\r\n\r\n*** Auto Block Unknown Request.\r\n");
    const std::string log = first + second + third;
    const struct {
        const char* description;
        std::string log;
        std::string text;
        std::string expected;
    } cases[] = {
        {"twice in one record, listed once", log, "/alpha", first + third},
        {"in the first record, which has no separator before it", log, "Time: 1", first},
        {"in the last record", log, "Auto Block", third},
        {"case counts", log, "get /beta", ""},
        {"nowhere", log, "/delta", ""},
        {"after the last separator: no record yet", log + "Time: 4\r\nGET /delta", "/delta", ""},
        {"blank lines after a separator are not part of the next record", first + "\r\n\r\n" + second,
         "/beta", second},
        {"an occurrence running into the separator belongs to the record it ends",
         Record("GET /x\r\n") + Record("GET /y\r\n"), "/y\r\n====", Record("GET /y\r\n")},
        {"empty text lists nothing", log, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(ListLogRecords(c.log, c.text), c.expected);
    }
}

TEST(LogbookOwnerTest, StateReadAndClearGoThroughTheServersFile) {
    test::ScopedSarvoHome home;
    std::string text = "kept";
    EXPECT_FALSE(ReadLogbook(text)) << "no file yet";
    EXPECT_EQ(text, "kept");

    EXPECT_EQ(GetLogbookState(), LogbookState::Empty) << "created as the server creates it";
    ASSERT_TRUE(SetLogEnabled(true));
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(0x0a000001);
    ASSERT_TRUE(WriteLogRecord(peer, false, "", "GET /first"));
    EXPECT_EQ(GetLogbookState(), LogbookState::HasRecords);
    ASSERT_TRUE(ReadLogbook(text));
    EXPECT_NE(text.find("GET /first\r\n" + kSeparator), std::string::npos);

    ASSERT_TRUE(ClearLogbook());
    EXPECT_EQ(GetLogbookState(), LogbookState::Empty);
    ASSERT_TRUE(WriteLogRecord(peer, false, "", "GET /second"));
    ASSERT_TRUE(ReadLogbook(text));
    EXPECT_EQ(text.rfind("Time: ", 0), 0u) << "the next record starts the file";
    EXPECT_EQ(text.find("GET /first"), std::string::npos);
    CloseSettingsStore();
}

}  // namespace
}  // namespace sarvo
