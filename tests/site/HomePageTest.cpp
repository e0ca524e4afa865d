#include "site/HomePage.h"

#include <gtest/gtest.h>

#include <string>

#include "GoldenFile.h"
#include "SiteFiles.h"
#include "server/HttpResponse.h"
#include "server/RequestHandlers.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::ScopedSarvoHome;

// 2005-01-15 14:05:59 UTC, and a few days later.
constexpr int64_t kSomeTime = 1105797959;
constexpr int64_t kDay = 86400;

bool ChatRoomOpen() {
    return true;
}
bool ChatRoomNotFull() {
    return false;
}

class HomePageTest : public ::testing::Test {
protected:
    void TearDown() override { SetChatRoomQueries(nullptr, nullptr); }

    std::string Body() {
        HttpResponse response;
        BuildHomePage(response);
        return std::string(response.BodyText());
    }

    void ShareFolder(const std::string& name, bool visible, const std::string& description = "",
                     bool postAndZip = false) {
        SharedFolder folder;
        folder.canPostFiles = postAndZip;
        folder.zipDownload = postAndZip;
        folder.name = name;
        folder.location = m_home.Child("folders");
        folder.visible = visible;
        folder.description = description;
        ASSERT_TRUE(WriteSharedFolder(folder));
    }

    std::string Publish(const std::string& name, const std::string& file, const std::string& content,
                        int64_t writeTime, uint32_t realTime = 0) {
        std::string path = m_home.WriteFile(file, content);
        test::SetWriteTime(path, writeTime);
        PublishPath(name, path, realTime);
        return path;
    }

    void PublishPath(const std::string& name, const std::string& path, uint32_t realTime = 0) {
        PublishedFileRecord record;
        record.path = path;
        record.realTime = realTime;
        EXPECT_TRUE(SetPublishedFile(name, record));
    }

    ScopedSarvoHome m_home;
    test::UtcZone m_zone;
};

TEST_F(HomePageTest, WholePage) {
    ASSERT_TRUE(SetMainPageTitle("Bj\xc3\xb6rn's Files"));
    ASSERT_TRUE(SetSiteIntro("  Welcome, visitor.\r\n "));
    ShareFolder("Music", true, "Songs & albums", true);
    ShareFolder("Hidden", false, "never shown");
    ShareFolder("Photos", true);
    ShareFolder("Zeta Docs", true, "Papers");
    ASSERT_TRUE(SetGuestbookEnabled(true));
    SetChatRoomQueries(ChatRoomOpen, ChatRoomNotFull);
    ASSERT_TRUE(SetWebCommMember(true));

    Publish("notes.txt", "files/notes.txt", std::string(1023, 'n'), kSomeTime);
    std::string report = "<html><title>Quarterly Report</title></html>";
    Publish("report.htm", "files/report.htm", report + std::string(1536 - report.size(), ' '),
            kSomeTime + kDay);
    Publish("song.mp3", "files/song.mp3",
            std::string(5 * 1024 * 1024 / 2 - 128, 's') + test::Id3Tag("Blue Song"), kSomeTime + 2 * kDay);
    Publish("live.log", "files/live.log", "0123456789", kSomeTime + 3 * kDay + 3600, 1);
    Publish(
        "Gr\xc3\xbc\xc3\x9f"
        "e #1 100%.txt",
        "files/odd.txt", "odd", kSomeTime + 4 * kDay);
    Publish("UPPER.TXT", "files/upper.txt", std::string(2048, 'u'), kSomeTime + 5 * kDay);
    PublishPath("gone.txt", m_home.Child("files/gone.txt"));
    test::MakeFolder(m_home.Child("album"));
    test::SetWriteTime(m_home.Child("album"), kSomeTime + 6 * kDay);
    PublishPath("album", m_home.Child("album"));
    test::MakeFolder(m_home.Child("cache"));
    PublishPath(".cache", m_home.Child("cache"));

    HttpResponse response;
    BuildHomePage(response);
    test::ExpectMatchesGolden("home_page.golden", test::MaskedResponse(response));
    const std::string header(response.HeaderText());
    EXPECT_EQ(test::SecondsBetweenHeaders(header, "Date", "Last-Modified"), 0);
    EXPECT_EQ(test::SecondsBetweenHeaders(header, "Date", "Expires"), 60);
}

TEST_F(HomePageTest, NothingToListGivesNoTables) {
    ShareFolder("Private", false);
    ASSERT_TRUE(SetSiteIntro(" \t\r\n "));
    std::string body = Body();
    EXPECT_EQ(body.find("<h5"), std::string::npos);
    EXPECT_EQ(body.find("<table border"), std::string::npos);
    // The default title, and no introduction paragraph for one of blanks.
    EXPECT_NE(body.find("<td><h4>Welcome to My Website!</h4></td>"), std::string::npos);
    EXPECT_EQ(body.find("<p>"), std::string::npos);
}

TEST_F(HomePageTest, EachServiceAloneMakesTheFoldersTable) {
    struct Case {
        const char* description;
        void (*turnOn)();
        const char* row;
    } cases[] = {
        {"guestbook", [] { SetGuestbookEnabled(true); },
         "<tr>\r\n<td><a href=\"/Guestbook/\" target=\"_blank\">Guestbook</a></td>\r\n<td "
         "align=\"center\">yes</td>\r\n<td>You can drop a message here</td>\r\n<td>&nbsp;</td>\r\n</tr>\r\n"},
        {"chat room", [] { SetChatRoomQueries(ChatRoomOpen, ChatRoomNotFull); },
         "<tr>\r\n<td><a href=\"/Webchat/\" target=\"_blank\">Webchat</a></td>\r\n<td "
         "align=\"center\">no</td>\r\n<td>Sarvo Chat Room</td>\r\n<td>&nbsp;</td>\r\n</tr>\r\n"},
        {"community host", [] { SetWebCommHost(true); },
         "<tr>\r\n<td><a href=\"/WebCommunity/\" target=\"_blank\">WebCommunity</a></td>\r\n<td "
         "align=\"center\">no</td>\r\n<td>Web Community Members</td>\r\n<td>&nbsp;</td>\r\n</tr>\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        ScopedSarvoHome home;
        ShareFolder("Hidden", false);
        c.turnOn();
        std::string body = Body();
        const std::string tableHead = "Zip Folder</th>\r\n</tr>\r\n";
        size_t rows = body.find(tableHead);
        ASSERT_NE(rows, std::string::npos);
        EXPECT_EQ(body.substr(rows + tableHead.size()),
                  std::string(c.row) + "</table>\r\n</BODY>\r\n</HTML>\r\n");
        SetChatRoomQueries(nullptr, nullptr);
    }
}

TEST_F(HomePageTest, FilesTableOnlyWithExistingFilesAndWhenShown) {
    PublishPath("nowhere.txt", m_home.Child("nowhere.txt"));
    EXPECT_EQ(Body().find("Files</h5>"), std::string::npos);

    Publish("here.txt", "here.txt", "here", kSomeTime);
    std::string body = Body();
    EXPECT_NE(body.find("Files</h5>"), std::string::npos);
    EXPECT_NE(body.find("<a href=\"here.txt\">here.txt</a></td>"), std::string::npos);
    EXPECT_EQ(body.find("nowhere"), std::string::npos);

    ASSERT_TRUE(SetDynamicFolderVisible(false));
    EXPECT_EQ(Body().find("Files</h5>"), std::string::npos);
}

}  // namespace
}  // namespace sarvo
