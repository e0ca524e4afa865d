#include "site/ThumbnailListPage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GoldenFile.h"
#include "SiteFiles.h"
#include "ThumbnailFixtures.h"
#include "server/HttpResponse.h"
#include "server/ServerIdentity.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::Bytes;
using test::CountOf;
using test::IndexBytes;
using test::MakeEntry;
using test::NumberedEntries;

class ThumbnailListPageTest : public ::testing::Test {
protected:
    std::string IndexOf(const std::vector<test::HandEntry>& entries) { return Raw(IndexBytes(entries)); }

    std::string Raw(const std::string& bytes) {
        test::WriteWholeFile(m_path, bytes);
        return m_path;
    }

    std::string Page(const std::string& indexPath) {
        HttpResponse response;
        BuildThumbnailListPage(response, indexPath);
        EXPECT_TRUE(response.HeadersFinished());
        return std::string(response.BodyText());
    }

    test::TempFolder m_folder;
    std::string m_path = m_folder.Child("pixindex.$$$");
};

// The golden pages were written from the page's description, not from this code's output.
TEST_F(ThumbnailListPageTest, GoldenPages) {
    const std::string seven = IndexBytes(NumberedEntries(7));
    struct Case {
        const char* description;
        std::string index;  // the index file's bytes; "" for no file at all
        const char* golden;
    } cases[] = {
        {"seven entries: a row of six and a row of one with five empty cells", seven,
         "thumbnail_list_seven.golden"},
        {"exactly six entries add a second row of six empty cells", IndexBytes(NumberedEntries(6)),
         "thumbnail_list_six.golden"},
        {"an index cut inside a header lists the whole entries before it",
         seven.substr(0, seven.size() - 300), "thumbnail_list_six.golden"},
        {"an empty index gives one empty row", IndexBytes({}), "thumbnail_list_empty.golden"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        test::ExpectMatchesGolden(c.golden, Page(Raw(c.index)));
    }
    // A missing index gives the same page as an empty one.
    test::ExpectMatchesGolden("thumbnail_list_empty.golden", Page(m_folder.Child("missing")));
    test::ExpectMatchesGolden("thumbnail_list_empty.golden", Page(""));
}

TEST_F(ThumbnailListPageTest, HeaderCarriesTheDatesRangesAndLengthInOrder) {
    HttpResponse response;
    BuildThumbnailListPage(response, IndexOf(NumberedEntries(2)));
    const std::string header(response.HeaderText());
    EXPECT_EQ(test::MaskDates(header),
              "HTTP/1.1 200 OK\r\nDate: <date>\r\nServer: " + ServerIdentification() +
                  "\r\nLast-Modified: <date>\r\nExpires: <date>\r\nAccept-Ranges: bytes\r\nConnection: "
                  "close\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                  std::to_string(response.BodyText().size()) + "\r\n\r\n");
    // Both are taken from the clock one after the other, so a second boundary may fall between them.
    const int64_t lifetime = test::SecondsBetweenHeaders(header, "Last-Modified", "Expires");
    EXPECT_GE(lifetime, 5 * 60);
    EXPECT_LE(lifetime, 5 * 60 + 1);
}

TEST_F(ThumbnailListPageTest, NamesAreLinkEncodedInLinksAndEscapedInCaptions) {
    // The process code page is UTF-8 here: a valid name passes, an invalid byte is replaced. Markup
    // in a name never reaches the page as markup. Long names make long rows that stay whole.
    std::vector<test::HandEntry> entries = {MakeEntry("a&b <x>.jpg", Bytes("GIF")),
                                            MakeEntry("\xC3\xA9t\xC3\xA9 #1.png", Bytes("GIF")),
                                            MakeEntry("bad\xE9.jpg", Bytes("GIF"))};
    for (char letter = 'a'; letter < 'a' + 4; ++letter)
        entries.push_back(MakeEntry(std::string(250, letter) + ".jpg", Bytes("GIF")));
    const std::string page = Page(IndexOf(entries));
    EXPECT_NE(page.find("<a href=\"./a%26b%20%3Cx%3E.jpg\" target=\"_blank\"><img "
                        "src=\"./a%26b%20%3Cx%3E.jpg?thumbnail\">"),
              std::string::npos);
    EXPECT_NE(page.find("<div>a&amp;b &lt;x&gt;.jpg<br>"), std::string::npos);
    EXPECT_EQ(page.find("<x>"), std::string::npos);
    EXPECT_NE(page.find("<img src=\"./%C3%A9t%C3%A9%20%231.png?thumbnail\">"), std::string::npos);
    EXPECT_NE(page.find("<div>bad?.jpg<br>"), std::string::npos);
    EXPECT_EQ(page.find('\xE9'), std::string::npos);
    for (size_t i = 3; i < entries.size(); ++i)
        EXPECT_EQ(CountOf(page, entries[i].name), 3u) << entries[i].name.substr(0, 1);
    EXPECT_NE(page.find("</tr>\r\n</table>\r\n</BODY>\r\n</HTML>\r\n"), std::string::npos);
}

}  // namespace
}  // namespace sarvo
