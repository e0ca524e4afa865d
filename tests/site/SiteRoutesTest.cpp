#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "server/HttpResponse.h"
#include "site/HomePage.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

using test::Exchange;
using test::Get;
using test::LoopbackServer;
using test::WireResponse;
using ::testing::ElementsAreArray;

const char* const kPageHeaders[] = {"Date",          "Server",     "Last-Modified", "Expires",
                                    "Accept-Ranges", "Connection", "Content-Type",  "Content-Length"};

class SiteRoutesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        m_server.ShareFolder("share", "shared");
        m_server.Home().WriteFile("shared/top.txt", "top");
        m_server.Home().WriteFile("shared/sub/inner.txt", "inner");
    }

    WireResponse Request(const std::string& request) { return Exchange(m_server.Port(), request); }

    LoopbackServer m_server;
};

TEST_F(SiteRoutesTest, HomePageOverTheWire) {
    PublishedFileRecord record;
    record.path = m_server.Home().WriteFile("single.txt", "single");
    ASSERT_TRUE(SetPublishedFile("single.txt", record));
    WireResponse response = Request(Get("/"));
    EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
    EXPECT_THAT(response.HeaderNames(), ElementsAreArray(kPageHeaders));
    HttpResponse local;
    BuildHomePage(local);
    EXPECT_EQ(response.body, local.BodyText());
}

TEST_F(SiteRoutesTest, ListingsOfAShareAndItsSubFolder) {
    WireResponse top = Request(Get("/share/"));
    EXPECT_EQ(top.statusLine, "HTTP/1.1 200 OK");
    EXPECT_THAT(top.HeaderNames(), ElementsAreArray(kPageHeaders));
    EXPECT_EQ(top.Header("Content-Length"), std::to_string(top.body.size()));
    WireResponse head = Request("HEAD /share/ HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(head.Header("Content-Length"), std::to_string(top.body.size()));
    EXPECT_EQ(head.body, "");
    EXPECT_NE(top.body.find("<a href=\"sub/\">[sub]</a>"), std::string::npos);
    EXPECT_NE(top.body.find("<a href=\"top.txt\">top.txt</a>"), std::string::npos);

    WireResponse sub = Request(Get("/share/sub/"));
    EXPECT_EQ(sub.statusLine, "HTTP/1.1 200 OK");
    EXPECT_NE(sub.body.find("<TITLE>sub</TITLE>"), std::string::npos);
    EXPECT_NE(sub.body.find("<a href=\"..\">Parent Folder</a>"), std::string::npos);
    EXPECT_NE(sub.body.find("<a href=\"inner.txt\">inner.txt</a>"), std::string::npos);
}

TEST_F(SiteRoutesTest, ListingRulesOfTheShare) {
    ASSERT_TRUE(SetCanBrowseSubfolders("share", false));
    WireResponse top = Request(Get("/share/"));
    EXPECT_EQ(top.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(top.body.find("[sub]"), std::string::npos);
    EXPECT_EQ(Request(Get("/share/sub/")).statusLine, "HTTP/1.1 403 Forbidden");
    ASSERT_TRUE(SetFolderVisible("share", false));
    EXPECT_EQ(Request(Get("/share/")).statusLine, "HTTP/1.1 403 Forbidden");
}

}  // namespace
}  // namespace sarvo
