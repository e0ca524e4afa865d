#include "server/FileTransfer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/InternetTime.h"
#include "server/FileResponse.h"
#include "server/PathResolver.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

// 2021-06-15 10:20:31 UTC, with a fraction, so that "the same second" is not the same tick.
constexpr timespec kFileTime = {1623752431, 400'000'000};
constexpr char kAtFileTime[] = "Tue, 15 Jun 2021 10:20:31 GMT";
constexpr char kAfterFileTime[] = "Tue, 15 Jun 2021 10:20:32 GMT";
constexpr char kBeforeFileTime[] = "Tue, 15 Jun 2021 10:20:30 GMT";
constexpr char kStaleTag[] = "\"3e80-aaaaaaaa-1d761c9\"";

std::string HeaderValue(std::string_view header, const std::string& name) {
    size_t start = header.find("\r\n" + name + ": ");
    if (start == std::string_view::npos)
        return "";
    start += name.size() + 4;
    return std::string(header.substr(start, header.find("\r\n", start) - start));
}

class FileTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string file = m_folder.WriteFile("page.txt", std::string(1000, 'p'));
        const timespec times[2] = {kFileTime, kFileTime};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
        m_path.diskPath = file;
        ASSERT_TRUE(GetFindData(file, m_path.findData));
        m_path.entityTag = MakeEntityTag(m_path.findData);
    }

    test::TempFolder m_folder;
    ResolvedPath m_path;
};

// If-None-Match, when sent, decides alone: a rewritten file keeps its date (same second, cp -p,
// rsync -t) but not its tag, and answering 304 then shows the visitor the old bytes.
TEST_F(FileTransferTest, EntityTagTakesPrecedenceOverTheDate) {
    const std::string current = m_path.entityTag;
    const struct Case {
        const char* description;
        std::string ifNoneMatch;
        std::string ifModifiedSince;
        unsigned status;
    } cases[] = {
        // The current tag, a stale tag with the file's own date and that date alone are tried on the wire.
        {"no condition", "", "", 200},
        {"stale tag, later date", kStaleTag, kAfterFileTime, 200},
        {"stale tag alone", kStaleTag, "", 200},
        {"current tag, earlier date", current, kBeforeFileTime, 304},
        {"later date", "", kAfterFileTime, 304},
        {"earlier date", "", kBeforeFileTime, 200},
        {"date that does not parse", "", "yesterday", 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        FileResponse response;
        ServeFile(response, m_path, FileConditions{c.ifModifiedSince, c.ifNoneMatch, {}, {}});
        const std::string statusLine =
            c.status == 304 ? "HTTP/1.1 304 Not Modified\r\n" : "HTTP/1.1 200 OK\r\n";
        EXPECT_TRUE(response.HeaderText().starts_with(statusLine)) << response.HeaderText();
        EXPECT_EQ(response.BodyLength(), c.status == 304 ? 0u : 1000u);
    }
}

TEST_F(FileTransferTest, NotModifiedCarriesTheValidatorsOfTheFullAnswerAndNoLength) {
    FileResponse full;
    ServeFile(full, m_path, FileConditions{});
    EXPECT_EQ(HeaderValue(full.HeaderText(), "Last-Modified"), kAtFileTime);
    EXPECT_EQ(HeaderValue(full.HeaderText(), "ETag"), m_path.entityTag);

    FileResponse notModified;
    ServeFile(notModified, m_path, FileConditions{{}, m_path.entityTag, {}, "bytes=0-9"});
    const std::string_view header = notModified.HeaderText();
    const std::string expectedTail = "Last-Modified: " + std::string(kAtFileTime) +
                                     "\r\nETag: " + m_path.entityTag + "\r\nConnection: close\r\n\r\n";
    EXPECT_TRUE(header.starts_with("HTTP/1.1 304 Not Modified\r\nDate: ")) << header;
    EXPECT_TRUE(header.ends_with(expectedTail)) << header;
    EXPECT_EQ(header.find("Content-Length"), std::string_view::npos);
    EXPECT_EQ(notModified.TotalLength(), header.size());
}

}  // namespace
}  // namespace sarvo
