#include "site/ListingParts.h"

#include <gtest/gtest.h>

#include <string>

#include "common/TextHolder.h"
#include "common/Url.h"

namespace sarvo {
namespace {

// The listing writes names straight into the page when it can; what it writes must be what the
// general conversions give.
TEST(ListingParts, LinkTargetsAndNamesMatchTheGeneralConversions) {
    const char* names[] = {
        "plain.txt",
        "with blank.txt",
        "hash#mark and 100%.txt",
        "%41%20",
        "?query&amp;<b>.txt",
        "gr\xc3\xbc\xc3\x9f"
        "e #1.txt",
        "broken \xc3 utf-8 \xff.txt",
        "",
    };
    for (const char* name : names) {
        SCOPED_TRACE(name);
        TextHolder expected;
        std::string page = "<a href=\"";
        AppendLinkTarget(page, name);
        EXPECT_EQ(page, "<a href=\"" + std::string(UrlEncodeForLink(expected, name)));
        std::string shown = ">";
        AppendUtf8(shown, name);
        EXPECT_EQ(shown, ">" + AnsiToUtf8(name).Str());
    }
}

TEST(ListingParts, SizeAndTimeCells) {
    FindData entry;
    entry.size = 1536;
    entry.lastWriteTime = FileTimeFromUnixSeconds(0);
    std::string page;
    ListingTimeFormat times;
    AppendSizeAndTimeCells(page, entry, times);
    EXPECT_EQ(page.rfind("<td noWrap align=\"right\">1.5 KB</td>\r\n<td noWrap align=\"right\">", 0), 0u);
    EXPECT_EQ(page.substr(page.size() - 7), "</td>\r\n");
}

TEST(ListingParts, PoweredByCellLinksTheProductPage) {
    std::string page;
    AppendPoweredByCell(page);
    EXPECT_EQ(
        page,
        "<td noWrap width=\"300\" align=\"right\">Powered by <a href=\"https://keldanworks.example/sarvo/\" "
        "target=\"_blank\">Sarvo</a></td>\r\n");
}

}  // namespace
}  // namespace sarvo
