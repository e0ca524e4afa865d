#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "platform/InternetTime.h"
#include "services/Guestbook.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"
#include "support/NotificationRecorder.h"

namespace sarvo {
namespace {

namespace fs = std::filesystem;
using test::Exchange;
using test::WireResponse;

constexpr char kFormType[] = "application/x-www-form-urlencoded";

std::string Post(const std::string& body, const std::string& contentType = kFormType) {
    std::string request = "POST /Guestbook/ HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!contentType.empty())
        request += "Content-Type: " + contentType + "\r\n";
    return request + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The reply page shows its text alone in the centred cell.
std::string ReplyText(const WireResponse& response) {
    const std::string start = "<td align=\"center\">";
    const size_t begin = response.body.find(start);
    const size_t end = response.body.find("</td>", begin);
    if (begin == std::string::npos || end == std::string::npos)
        return "(no reply text in: " + response.raw + ")";
    return response.body.substr(begin + start.size(), end - begin - start.size());
}

class GuestbookServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        SetGuestbookEnabled(true);
    }

    std::string Folder() { return m_server.Home().Path() + "/SarvoGuestbook"; }
    std::string MessageFile(const std::string& name) { return Folder() + "/" + name; }

    std::set<std::string> StoredNames() {
        std::set<std::string> names;
        if (fs::is_directory(Folder())) {
            for (const auto& entry : fs::directory_iterator(Folder()))
                names.insert(entry.path().filename().string());
        }
        return names;
    }

    test::LoopbackServer m_server;
};

TEST_F(GuestbookServerTest, SwitchedOffTheGuestbookIsForbidden) {
    SetGuestbookEnabled(false);
    EXPECT_EQ(Exchange(m_server.Port(), test::Get("/Guestbook/")).statusLine, "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(Exchange(m_server.Port(), Post("msg=hi")).statusLine, "HTTP/1.1 403 Forbidden");
    EXPECT_TRUE(StoredNames().empty());
}

TEST_F(GuestbookServerTest, FormPageExpiresInFiveMinutes) {
    const WireResponse page = Exchange(m_server.Port(), test::Get("/guestbook/anything"));
    ASSERT_EQ(page.statusLine, "HTTP/1.1 200 OK");
    SystemTime date;
    SystemTime expires;
    ASSERT_TRUE(InternetTimeToSystemTime(page.Header("Date"), date));
    ASSERT_TRUE(InternetTimeToSystemTime(page.Header("Expires"), expires));
    FileTime dateTime;
    FileTime expiresTime;
    ASSERT_TRUE(SystemTimeToFileTime(date, dateTime) && SystemTimeToFileTime(expires, expiresTime));
    constexpr uint64_t kTicksPerSecond = 10'000'000;
    EXPECT_NEAR(double(expiresTime.ticks - dateTime.ticks) / kTicksPerSecond, 300.0, 1.0);
    EXPECT_TRUE(page.HasHeader("Last-Modified"));
    EXPECT_EQ(page.Header("Content-Type"), "text/html");
    EXPECT_EQ(page.Header("Connection"), "close");
    EXPECT_NE(page.body.find("<TITLE>Guestbook</TITLE>"), std::string::npos);
    EXPECT_NE(page.body.find("<form METHOD=\"POST\" name=\"fm\""), std::string::npos);
    EXPECT_NE(page.body.find("<TEXTAREA name=\"msg\" id=\"msg\""), std::string::npos);
    EXPECT_NE(page.body.find("VALUE=\"Send\" id=\"send\""), std::string::npos);
    EXPECT_TRUE(page.body.ends_with("</body>\r\n</html>\r\n"));
    EXPECT_EQ(page.Header("Content-Length"), std::to_string(page.body.size()));

    const WireResponse head = Exchange(m_server.Port(), "HEAD /Guestbook/ HTTP/1.1\r\n\r\n");
    EXPECT_EQ(head.Header("Content-Length"), page.Header("Content-Length"));
    EXPECT_EQ(head.body, "");
}

struct ReplyCase {
    const char* description;
    std::string request;
    GuestbookReply reply;
    std::string stored;  // the file's bytes; "" when nothing may be stored
};

TEST_F(GuestbookServerTest, EachBodyGetsItsReply) {
    const std::string header =
        "POST /Guestbook/ HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n";
    const ReplyCase cases[] = {
        {"no Content-Length", header + "\r\nmsg=hi", GuestbookReply::NothingToSay, ""},
        {"Content-Length 0", header + "Content-Length: 0\r\n\r\n", GuestbookReply::NothingToSay, ""},
        {"bytes past the Content-Length", header + "Content-Length: 6\r\n\r\nmsg=hi+and+more",
         GuestbookReply::Saved, "hi"},
        {"no '='", Post("message"), GuestbookReply::NothingToSay, ""},
        {"nothing after '='", Post("msg="), GuestbookReply::NothingToSay, ""},
        {"blanks only", Post("msg=+%20%09%0D%0A"), GuestbookReply::NothingToSay, ""},
        {"no Content-Type", Post("msg=hi", ""), GuestbookReply::ContentTypeNotSupported, ""},
        {"a charset parameter", Post("msg=hi", "application/x-www-form-urlencoded; charset=UTF-8"),
         GuestbookReply::ContentTypeNotSupported, ""},
        {"multipart", Post("msg=hi", "multipart/form-data; boundary=x"),
         GuestbookReply::ContentTypeNotSupported, ""},
        {"the type in capitals", Post("msg=hi", "APPLICATION/X-WWW-FORM-URLENCODED"), GuestbookReply::Saved,
         "hi"},
        {"ampersands", Post("msg=a%26b&x=1"), GuestbookReply::Saved, "a&b&x=1"},
        {"'+' and leading blanks", Post("msg=++%0D%0Ahello+world%0D%0A"), GuestbookReply::Saved,
         "hello world\r\n"},
        {"a '%' without two characters", Post("msg=50%25+or+50%"), GuestbookReply::Saved, "50% or 50"},
        {"the form's own body", Post("msg=Gr%C3%BC%C3%9Fe"), GuestbookReply::Saved,
         "Gr\xc3\xbc\xc3\x9f"
         "e"},
    };
    for (const ReplyCase& test : cases) {
        SCOPED_TRACE(test.description);
        fs::remove_all(Folder());
        const WireResponse response = Exchange(m_server.Port(), test.request);
        EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
        EXPECT_EQ(ReplyText(response), GuestbookReplyText(test.reply));
        EXPECT_NE(response.body.find("<a href=\"/\">Home</a>"), std::string::npos);
        if (test.stored.empty()) {
            EXPECT_TRUE(StoredNames().empty());
            continue;
        }
        EXPECT_EQ(StoredNames(), std::set<std::string>{"127.0.0.1.txt"});
        EXPECT_EQ(test::ReadWholeFile(MessageFile("127.0.0.1.txt")), test.stored);
    }
}

TEST_F(GuestbookServerTest, BodyInLaterPacketsIsStoredWhole) {
    const std::string body = "msg=" + std::string(20000, 'b');
    const std::string request = Post(body);
    const size_t headerEnd = request.find("\r\n\r\n") + 4;
    const WireResponse response = test::ExchangeInPieces(
        m_server.Port(),
        {request.substr(0, headerEnd), request.substr(headerEnd, 9000), request.substr(headerEnd + 9000)});
    EXPECT_EQ(ReplyText(response), GuestbookReplyText(GuestbookReply::Saved));
    EXPECT_EQ(test::ReadWholeFile(MessageFile("127.0.0.1.txt")), std::string(20000, 'b'));
}

// Beyond 65536 announced bytes only the first 65536 are read, the message stored from them and the
// visitor told; a length past 32 bits is the same.
TEST_F(GuestbookServerTest, LongBodiesAreCutAt64KiB) {
    const std::string body = "msg=" + std::string(99996, 'x');
    std::string oversized = Post(body);
    const std::string hugeLength =
        "POST /Guestbook/ HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: 5000000000\r\n\r\n" +
        body;
    for (const std::string& request : {oversized, hugeLength}) {
        fs::remove_all(Folder());
        const WireResponse response = Exchange(m_server.Port(), request);
        EXPECT_EQ(ReplyText(response), GuestbookReplyText(GuestbookReply::TooLarge));
        EXPECT_EQ(test::ReadWholeFile(MessageFile("127.0.0.1.txt")), std::string(65536 - 4, 'x'));
    }
    const WireResponse exact = Exchange(m_server.Port(), Post("msg=" + std::string(65532, 'y')));
    EXPECT_EQ(ReplyText(exact), GuestbookReplyText(GuestbookReply::Saved));
}

// Choosing a free name and creating the file are one step: no post overwrites another.
TEST_F(GuestbookServerTest, ConcurrentPostsFromOneAddressEachGetAFile) {
    constexpr int kPosts = 32;
    std::vector<std::string> replies(kPosts);
    std::vector<std::thread> clients;
    for (int index = 0; index < kPosts; ++index)
        clients.emplace_back([&, index] {
            replies[index] = ReplyText(Exchange(m_server.Port(), Post("msg=post+" + std::to_string(index))));
        });
    for (std::thread& client : clients)
        client.join();
    for (const std::string& reply : replies)
        EXPECT_EQ(reply, GuestbookReplyText(GuestbookReply::Saved));
    // The names count on from the first: 127.0.0.1.txt, 127.0.0.1(2).txt, ... 127.0.0.1(32).txt.
    std::set<std::string> expectedNames{"127.0.0.1.txt"};
    for (int counter = 2; counter <= kPosts; ++counter)
        expectedNames.insert("127.0.0.1(" + std::to_string(counter) + ").txt");
    EXPECT_EQ(StoredNames(), expectedNames);
    std::set<std::string> texts;
    for (const std::string& name : expectedNames)
        texts.insert(test::ReadWholeFile(MessageFile(name)));
    EXPECT_EQ(texts.size(), size_t{kPosts});
}

// A folder that is gone (its parents are made, the folder itself never), or one on no mount of its own
// (a relative path), gives way to the default folder, which the setting then names.
TEST_F(GuestbookServerTest, UnusableFolderSettingIsReplacedByTheDefault) {
    for (const std::string& setting : {m_server.Home().Child("x/y/gone"), std::string("relative/messages")}) {
        SCOPED_TRACE(setting);
        fs::remove_all(Folder());
        SetGuestbookDir(setting);
        EXPECT_EQ(ReplyText(Exchange(m_server.Port(), Post("msg=hi"))),
                  GuestbookReplyText(GuestbookReply::Saved));
        EXPECT_EQ(test::ReadWholeFile(MessageFile("127.0.0.1.txt")), "hi");
        EXPECT_EQ(GetGuestbookDir(), Folder());
    }
    EXPECT_TRUE(fs::is_directory(m_server.Home().Child("x/y")));
    EXPECT_FALSE(fs::exists(m_server.Home().Child("x/y/gone")));
}

// A folder that exists but takes no new file: the visitor hears that the message was not saved, and
// the folder setting stays. Write permission alone does not stop root, so the folder is also made
// immutable where that is allowed.
TEST_F(GuestbookServerTest, MessageThatCannotBeCreatedIsReportedNotSaved) {
    const std::string folder = m_server.Home().Child("sealed");
    ASSERT_TRUE(fs::create_directory(folder));
    SetGuestbookDir(folder);
    ::chmod(folder.c_str(), 0555);
    const auto chattr = [&folder](const std::string& change) {
        return std::system(("chattr " + change + " '" + folder + "' >/dev/null 2>&1").c_str());
    };
    chattr("+i");
    const bool sealed = !std::ofstream(folder + "/probe");
    fs::remove(folder + "/probe");
    if (sealed) {
        EXPECT_EQ(ReplyText(Exchange(m_server.Port(), Post("msg=hi"))),
                  GuestbookReplyText(GuestbookReply::NotSaved));
    }
    chattr("-i");
    ::chmod(folder.c_str(), 0755);
    if (!sealed)
        GTEST_SKIP() << "no way to make a folder refuse new files here";
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(GetGuestbookDir(), folder);
}

TEST_F(GuestbookServerTest, AlarmIsPostedOncePerStoredMessageWhileSwitchedOn) {
    test::NotificationRecorder mainWindow(NotificationChannel::MainWindow);
    for (const char* body : {"msg=first", "msg=", "msg=second"})
        Exchange(m_server.Port(), Post(body));
    EXPECT_EQ(mainWindow.CountOf(CMD_GUESTBOOK_ALARM), 0u);

    SetGuestbookAlarmOn(true);
    for (const char* body : {"msg=first", "msg=", "msg=second", "nothing"})
        Exchange(m_server.Port(), Post(body));
    EXPECT_EQ(mainWindow.CountOf(CMD_GUESTBOOK_ALARM), 2u);
    for (const test::RecordedPost& post : mainWindow.Posts())
        EXPECT_EQ(post.argument, 0u);
}

}  // namespace
}  // namespace sarvo
