#include "site/ThumbnailListPage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GoldenFile.h"
#include "ThumbnailFixtures.h"
#include "platform/FileTime.h"
#include "platform/InternetTime.h"
#include "server/HttpResponse.h"
#include "server/ServerIdentity.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::Bytes;
using test::ExpectMatchesGolden;
using test::IndexBytes;
using test::MakeEntry;
using test::NumberedEntries;

size_t Count(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

std::string HeaderValue(std::string_view header, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    const size_t at = header.find(key);
    if (at == std::string_view::npos)
        return "";
    const size_t start = at + key.size();
    return std::string(header.substr(start, header.find("\r\n", start) - start));
}

int64_t SecondsOf(const std::string& httpDate) {
    SystemTime time;
    FileTime fileTime;
    if (!InternetTimeToSystemTime(httpDate, time) || !SystemTimeToFileTime(time, fileTime))
        return -1;
    return static_cast<int64_t>(fileTime.ticks / kTicksPerSecond);
}

class ThumbnailListPageTest : public ::testing::Test {
protected:
    std::string IndexOf(const std::vector<test::HandEntry>& entries) {
        const std::string path = m_folder.Child("pixindex.$$$");
        test::WriteBytes(path, IndexBytes(entries));
        return path;
    }

    std::string Page(const std::string& indexPath) {
        HttpResponse response;
        BuildThumbnailListPage(response, indexPath);
        EXPECT_TRUE(response.HeadersFinished());
        return std::string(response.BodyText());
    }

    test::TempFolder m_folder;
};

// The golden pages were written from the page's description, not from this code's output.
TEST_F(ThumbnailListPageTest, SevenEntriesMakeARowOfSixAndARowOfOneWithFiveEmptyCells) {
    const std::string page = Page(IndexOf(NumberedEntries(7)));
    ExpectMatchesGolden("thumbnail_list_seven.golden", page);
    EXPECT_EQ(Count(page, "<tr>\r\n"), 4u);
    EXPECT_EQ(Count(page, "<td width=\"120\">&nbsp;</td>\r\n"), 10u);
}

TEST_F(ThumbnailListPageTest, ExactlySixEntriesAddASecondRowOfSixEmptyCells) {
    const std::string page = Page(IndexOf(NumberedEntries(6)));
    ExpectMatchesGolden("thumbnail_list_six.golden", page);
    EXPECT_EQ(Count(page, "<td width=\"120\">&nbsp;</td>\r\n"), 12u);
}

TEST_F(ThumbnailListPageTest, EmptyIndexGivesOneEmptyRow) {
    ExpectMatchesGolden("thumbnail_list_empty.golden", Page(IndexOf({})));
}

TEST_F(ThumbnailListPageTest, MissingIndexGivesTheSamePageAsAnEmptyOne) {
    ExpectMatchesGolden("thumbnail_list_empty.golden", Page(m_folder.Child("pixindex.$$$")));
    ExpectMatchesGolden("thumbnail_list_empty.golden", Page(""));
}

TEST_F(ThumbnailListPageTest, IndexCutInsideAHeaderListsTheWholeEntriesBeforeIt) {
    const std::string whole = IndexBytes(NumberedEntries(7));
    const std::string path = m_folder.Child("pixindex.$$$");
    test::WriteBytes(path, whole.substr(0, whole.size() - 300));
    const std::string page = Page(path);
    // Six whole entries are left, so the page is the six-entry page.
    ExpectMatchesGolden("thumbnail_list_six.golden", page);
}

TEST_F(ThumbnailListPageTest, LaterRowsLeaveTheWidthToTheFirstRow) {
    const std::string page = Page(IndexOf(NumberedEntries(13)));
    // Three full rows' worth: six, six, one and five empty.
    EXPECT_EQ(Count(page, "<tr>\r\n"), 6u);
    EXPECT_EQ(Count(page, "<td width=\"120\" class=\"pic\">"), 6u);
    EXPECT_EQ(Count(page, "<td width=\"120\" class=\"inf\">"), 6u);
    EXPECT_EQ(Count(page, "<td class=\"pic\">"), 7u);
    EXPECT_EQ(Count(page, "<td class=\"inf\">"), 7u);
    EXPECT_EQ(Count(page, "<td width=\"6\">&nbsp;</td>\r\n"), 6u * 5u);
    EXPECT_NE(page.find("<td class=\"inf\"><div>pic13.jpg<br>113 x 63<br>&nbsp;</div></td>\r\n"),
              std::string::npos);
}

TEST_F(ThumbnailListPageTest, HeaderCarriesTheDatesRangesAndLengthInOrder) {
    HttpResponse response;
    BuildThumbnailListPage(response, IndexOf(NumberedEntries(2)));
    const std::string header(response.HeaderText());
    EXPECT_EQ(test::MaskDates(header),
              "HTTP/1.1 200 OK\r\nDate: <date>\r\nServer: " + ServerIdentification() +
                  "\r\nLast-Modified: <date>\r\nExpires: <date>\r\n"
                  "Accept-Ranges: bytes\r\nConnection: close\r\n"
                  "Content-Type: text/html\r\nContent-Length: " +
                  std::to_string(response.BodyText().size()) + "\r\n\r\n");
    const int64_t modified = SecondsOf(HeaderValue(header, "Last-Modified"));
    const int64_t expires = SecondsOf(HeaderValue(header, "Expires"));
    ASSERT_GT(modified, 0);
    // Both are taken from the clock one after the other, so a second boundary may fall between them.
    EXPECT_GE(expires - modified, 5 * 60);
    EXPECT_LE(expires - modified, 5 * 60 + 1);
}

TEST_F(ThumbnailListPageTest, NamesGoInAsUtf8WithoutEscaping) {
    // The process code page is UTF-8 here: a valid name passes unchanged, an invalid byte is replaced,
    // and markup characters are left as they are.
    const std::string page = Page(
        IndexOf({MakeEntry("a&b <x>.jpg", Bytes("GIF")), MakeEntry("\xC3\xA9t\xC3\xA9 #1.png", Bytes("GIF")),
                 MakeEntry("bad\xE9.jpg", Bytes("GIF"))}));
    EXPECT_NE(page.find("<a href=\"./a&b <x>.jpg\" target=\"_blank\"><img src=\"./a&b <x>.jpg?thumbnail\">"),
              std::string::npos);
    EXPECT_NE(page.find("<div>a&b <x>.jpg<br>"), std::string::npos);
    EXPECT_NE(page.find("<img src=\"./\xC3\xA9t\xC3\xA9 #1.png?thumbnail\">"), std::string::npos);
    EXPECT_NE(page.find("<div>bad?.jpg<br>"), std::string::npos);
    EXPECT_EQ(page.find('\xE9'), std::string::npos);
}

TEST_F(ThumbnailListPageTest, LongNamesMakeLongRowsThatStayWhole) {
    std::vector<test::HandEntry> entries;
    for (char letter = 'a'; letter < 'a' + 6; ++letter)
        entries.push_back(MakeEntry(std::string(250, letter) + ".jpg", Bytes("GIF")));
    const std::string page = Page(IndexOf(entries));
    for (const test::HandEntry& entry : entries)
        EXPECT_EQ(Count(page, entry.name), 3u) << entry.name.substr(0, 1);
    EXPECT_NE(page.find("</tr>\r\n</table>\r\n</BODY>\r\n</HTML>\r\n"), std::string::npos);
}

TEST_F(ThumbnailListPageTest, CaptionPrintsDimensionBThenA) {
    const std::string page = Page(IndexOf({MakeEntry("tall.jpg", Bytes("GIF"), 120, 45)}));
    EXPECT_NE(page.find("<div>tall.jpg<br>45 x 120<br>&nbsp;</div>"), std::string::npos);
}

}  // namespace
}  // namespace sarvo
