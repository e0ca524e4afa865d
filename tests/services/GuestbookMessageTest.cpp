#include "services/GuestbookMessage.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "services/GuestbookFolder.h"
#include "services/GuestbookOwner.h"
#include "store/SiteSettings.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

namespace fs = std::filesystem;

struct DecodeCase {
    const char* description;
    std::string body;
    std::string text;
};

// The common bodies and the refusals are checked on the wire in GuestbookServerTest; these are the odd
// escapes.
TEST(GuestbookDecode, FormBodies) {
    const DecodeCase cases[] = {
        {"only the first '=' ends the name", "msg=a=b", "a=b"},
        {"the field's name is not looked at", "anything=x", "x"},
        {"a '%' with one character after it is dropped", "msg=ab%4", "ab4"},
        {"hex digits of either case", "msg=%c3%BC", "\xc3\xbc"},
        {"reading stops at the first non-hex digit", "msg=%4zq", "\x04q"},
        {"%zz is the byte 0, which ends the text", "msg=ab%zzcd", "ab"},
        {"an encoded zero ends the text", "msg=ab%00cd", "ab"},
    };
    for (const DecodeCase& test : cases) {
        SCOPED_TRACE(test.description);
        std::string text = "stale";
        EXPECT_TRUE(DecodeGuestbookBody(test.body, text));
        EXPECT_EQ(text, test.text);
    }
}

// A name held by something that is not a message (a folder, a dangling link) is passed over rather
// than written through.
TEST(GuestbookFiles, TakenNamesArePassedOver) {
    test::TempFolder folder;
    fs::create_directory(folder.Child("10.0.0.5.txt"));
    fs::create_symlink(folder.Child("elsewhere"), folder.Child("10.0.0.5(2).txt"));
    const StoredMessage stored = StoreGuestbookMessage(folder.Path(), inet_addr("10.0.0.5"), "hi");
    EXPECT_EQ(stored.path, folder.Child("10.0.0.5(3).txt"));
    EXPECT_FALSE(fs::exists(folder.Child("elsewhere")));
}

class GuestbookFolderTest : public ::testing::Test {
protected:
    std::string DefaultFolder() const { return m_home.Path() + "/SarvoGuestbook"; }

    test::ScopedSarvoHome m_home;
};

TEST_F(GuestbookFolderTest, ConfiguredFolderIsNormalisedAndReadingCreatesNothing) {
    EXPECT_EQ(GuestbookFolder(FolderCreation::Off), DefaultFolder());
    EXPECT_FALSE(fs::exists(DefaultFolder()));
    const std::string configured = m_home.Child("a/b/messages");
    fs::create_directories(configured);
    SetGuestbookDir(m_home.Path() + "//a///b/messages//");
    EXPECT_EQ(GuestbookFolder(FolderCreation::Off), configured);
    EXPECT_EQ(GuestbookFolder(FolderCreation::On), configured);
    EXPECT_EQ(GetGuestbookDir(), m_home.Path() + "//a///b/messages//");
}

class GuestbookOwnerTest : public GuestbookFolderTest {
protected:
    void Store(const std::string& name, const std::string& text, int secondsAgo) {
        const std::string path = m_home.WriteFile("SarvoGuestbook/" + name, text);
        const timespec times[2] = {{::time(nullptr) - secondsAgo, 0}, {::time(nullptr) - secondsAgo, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
};

TEST_F(GuestbookOwnerTest, ListIsNewestFirstWithTheFirstBytesOfEachMessage) {
    Store("10.0.0.5.txt", std::string(300, 'a'), 300);
    Store("10.0.0.5(2).txt", "second\r\nline", 10);
    Store("10.0.0.6.txt", "middle", 100);
    Store("notes.md", "not a message", 0);
    fs::create_directory(DefaultFolder() + "/folder.txt");

    const std::vector<GuestbookMessageInfo> messages = ListGuestbookMessages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].sender, "10.0.0.5(2)");
    EXPECT_EQ(messages[0].fileName, "10.0.0.5(2).txt");
    EXPECT_EQ(messages[0].preview, "second\r\nline");
    EXPECT_EQ(messages[1].sender, "10.0.0.6");
    EXPECT_EQ(messages[2].preview, std::string(kGuestbookPreviewBytes, 'a'));
    EXPECT_GT(messages[0].lastWriteTime, messages[1].lastWriteTime);
    EXPECT_EQ(FormatGuestbookTime(messages[0].lastWriteTime).size(),
              std::string("2026-01-01 00:00:00").size());
}

TEST_F(GuestbookOwnerTest, MessagesAreNamedAsTheListShowsThemAndNeverOutsideTheFolder) {
    Store("10.0.0.5(2).txt", "x", 0);
    m_home.WriteFile("outside.txt", "keep");
    const std::string path = DefaultFolder() + "/10.0.0.5(2).txt";
    EXPECT_EQ(GuestbookMessagePath("10.0.0.5(2)"), path);
    EXPECT_EQ(GuestbookMessagePath("10.0.0.5(2).txt"), path);
    for (const char* name : {"../outside", "../outside.txt", "..", "", "10.0.0.9"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(GuestbookMessagePath(name), "");
        EXPECT_FALSE(DeleteGuestbookMessage(name));
    }
    EXPECT_TRUE(fs::exists(m_home.Child("outside.txt")));
    EXPECT_TRUE(DeleteGuestbookMessage("10.0.0.5(2)"));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(DeleteGuestbookMessage("10.0.0.5(2)"));
}

}  // namespace
}  // namespace sarvo
