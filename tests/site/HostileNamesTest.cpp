// Names and texts that hold markup, from disk, from the owner and from visitors, through every page
// the server writes them into: none of their markup may reach a page unescaped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ThumbnailFixtures.h"
#include "ZipTestSupport.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

using test::Exchange;
using test::Get;
using test::LoopbackServer;

// Each hostile text carries a marker of its own, so that a finding names its source.
const std::string kImageName = "<img src=x onerror=alert(1)>.txt";
const std::string kQuoteName = "\"onmouseover=alert(2)\".txt";
const std::string kEntityName = "&amp;.txt";
const std::string kDescription = "<script>alert(3)</script>";
const std::string kPageTitle = "<img src=x onerror=alert(4)>";
const std::string kSiteTitle = "<script>alert(5)</script>";
const std::string kIntroduction = "<b onclick=alert(6)>intro</b>";
const std::string kThumbnailName = "<img src=x onerror=alert(7)>.jpg";
const std::string kPublishedName = "<i onclick=alert(8)>.txt";

// The pieces of a page that only unescaped hostile markup would produce.
const std::vector<std::string> kUnescapedMarkup = {
    "<img src=x", "<script>", "\"onmouseover=", "<b onclick", "<i onclick", "&amp;.txt\"", ">&amp;.txt<",
};

class HostileNamesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        const std::string folder = m_server.ShareFolder("share", "shared");
        for (const std::string& name : {kImageName, kQuoteName, kEntityName})
            m_server.Home().WriteFile("shared/" + name, "x");
        test::WriteWholeFile(folder + "/pixindex.$$$",
                             test::IndexBytes({test::MakeEntry(kThumbnailName, {'G'})}));
        PublishedFileRecord record;
        record.path = m_server.Home().WriteFile("published.txt", "p");
        ASSERT_TRUE(SetFolderDescription("share", kDescription) && SetCanPostFiles("share", true) &&
                    SetMainPageTitle(kSiteTitle) && SetSiteIntro(kIntroduction) &&
                    SetPublishedFile(kPublishedName, record) && SetUseAutoBlockList(false));
    }

    std::string Page(const std::string& request) { return Exchange(m_server.Port(), request).raw; }

    LoopbackServer m_server;
};

TEST_F(HostileNamesTest, NoPageCarriesTheirMarkup) {
    // A visitor's upload of a page whose title holds markup; the listing shows that title.
    const std::string uploadResult =
        Page(test::UploadRequest("/share/", "report.htm", "<html><title>" + kPageTitle + "</title></html>"));
    struct Case {
        const char* page;
        std::string text;
        std::vector<std::string> shown;  // escaped forms that prove the text is on the page at all
    } cases[] = {
        {"home page",
         Page(Get("/")),
         {"&lt;script&gt;alert(5)", "&lt;b onclick=alert(6)&gt;", "&lt;script&gt;alert(3)",
          "&lt;i onclick=alert(8)&gt;"}},
        {"listing",
         Page(Get("/share/")),
         {"&lt;img src=x onerror=alert(1)&gt;", "&quot;onmouseover=alert(2)&quot;", "&amp;amp;.txt",
          "&lt;img src=x onerror=alert(4)&gt;"}},
        {"thumbnail page", Page(Get("/share/pixindex.$$$")), {"&lt;img src=x onerror=alert(7)&gt;"}},
        {"upload result", uploadResult, {"report.htm"}},
        {"upload result of a hostile name",
         Page(test::UploadRequest("/share/", kImageName, "y")),
         {"&lt;img src=x onerror=alert(1)&gt;"}},
        {"echo of a refused request",
         Page("PROPFIND /share/ HTTP/1.1\r\nX-Note: " + kDescription + "\r\n\r\n"),
         {"&lt;script&gt;alert(3)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        for (const std::string& markup : kUnescapedMarkup)
            EXPECT_EQ(c.text.find(markup), std::string::npos) << "unescaped: " << markup << "\n" << c.text;
        for (const std::string& shown : c.shown)
            EXPECT_NE(c.text.find(shown), std::string::npos) << "not shown: " << shown << "\n" << c.text;
    }
}

}  // namespace
}  // namespace sarvo
