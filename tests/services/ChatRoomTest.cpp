#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "common/Text.h"
#include "platform/Notification.h"
#include "services/ChatFixture.h"
#include "store/SiteSettings.h"
#include "support/NotificationRecorder.h"

namespace sarvo::test {
namespace {

using std::chrono::milliseconds;

constexpr char kReload[] = "parent.list.document.location.reload();";

class ChatRoomTest : public ChatRoomFixture {};

TEST_F(ChatRoomTest, FramesetInputAndListPages) {
    const WireResponse first = Exchange(m_server.Port(), Get("/Webchat/"));
    const WireResponse second = Exchange(m_server.Port(), Get("/WEBCHAT/"));
    EXPECT_EQ(first.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(first.Header("Content-Type"), "text/html");
    const uint32_t id = FramesetMemberId(first.body);
    ASSERT_NE(id, 0u);
    EXPECT_NE(FramesetMemberId(second.body), id) << "two framesets in a row share an id";
    const std::string ids = std::to_string(id);
    for (const std::string& part :
         {std::string("var inputready=false;"), std::string("cols=\"25%,*\""),
          std::string("<FRAME src=\"list.htm\" name=\"list\""),
          "<FRAME src=\"output.htm?id=" + ids + "\" name=\"output\"",
          "<FRAME src=\"input.htm?id=" + ids + "\" name=\"input\" scrolling=\"no\">"}) {
        EXPECT_NE(first.body.find(part), std::string::npos) << part;
    }

    const WireResponse input = Exchange(m_server.Port(), Get("/Webchat/input.htm?id=" + ids));
    EXPECT_EQ(input.statusLine, "HTTP/1.1 200 OK");
    for (const char* part :
         {"charset=utf-8", "<form METHOD=\"POST\" name=\"fm\">",
          "<input type=\"hidden\" name=\"to\" value=\"All\">", "name=\"speechtext\" id=\"speech\"",
          "id=\"editbox\"", "parent.inputready=true;"}) {
        EXPECT_NE(input.body.find(part), std::string::npos) << part;
    }

    auto member = Join();
    const WireResponse list = Exchange(m_server.Port(), Get("/Webchat/list.htm"));
    EXPECT_EQ(list.statusLine, "HTTP/1.1 200 OK");
    const std::string rows =
        "<tr><td onclick=\"Hilit(this);\">All</td></tr>\r\n<tr><td onclick=\"Hilit(this);\">" +
        member->GuestName() + "</td></tr>\r\n</table>";
    EXPECT_NE(list.body.find(rows), std::string::npos) << list.body;
}

TEST_F(ChatRoomTest, JoiningSendsTheStreamHeaderAndTheWelcomeChunks) {
    ASSERT_TRUE(SetWebChatWelcomeMsg("  Be kind & see http://x.example/?a=1&b=2\r\n"));
    auto member = Join();
    EXPECT_TRUE(std::regex_match(
        member->Head(),
        std::regex("HTTP/1\\.1 200 OK\r\nContent-Type: text/html\r\nServer: Sarvo "
                   "\\(https://keldanworks\\.example\\)\r\nTransfer-Encoding: chunked\r\n"
                   "Date: [A-Z][a-z]{2}, \\d\\d [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d GMT")))
        << member->Head();
    ASSERT_EQ(member->ChunkCount(), 4u);
    EXPECT_EQ(member->Chunk(0).rfind("<HTML>\r\n<HEAD>", 0), 0u);
    EXPECT_NE(
        member->Chunk(0).find("Welcome to <a href=\"https://keldanworks.example\">Sarvo</a> Chat Room!"),
        std::string::npos);
    EXPECT_NE(
        member->Chunk(0).find("<li><b>Block Member: </b><font color=\"#FFA500\">!BLOCK</font> member's name"),
        std::string::npos);
    EXPECT_EQ(member->Chunk(1), "<script LANGUAGE=JAVASCRIPT>parent.document.title=\"" + member->GuestName() +
                                    " --- Sarvo Chat Room\";</SCRIPT>\r\n");
    EXPECT_EQ(member->Chunk(2),
              "<p style=\"color:#FFA500\">Be kind &amp; see <a href=\"http://x.example/?a=1&b=2\" "
              "target=\"_blank\">http://x.example/?a=1&amp;b=2</a></p>\r\n<hr size=1 color=\"#ffff00\">\r\n");
    EXPECT_EQ(member->Chunk(3),
              "<script LANGUAGE=JAVASCRIPT>parent.list.document.location.reload();</script>\r\n");
}

TEST_F(ChatRoomTest, PublicAndPrivateLinesReachTheRightMembers) {
    auto ann = Join();
    auto bob = Join();
    auto cid = Join();
    const std::string annName = ann->GuestName();

    EXPECT_EQ(Say(*ann, "hello <all> & http://x.example/?a=1&b=2"), "HTTP/1.1 204 No Content");
    const std::string publicLine = "<b>" + annName +
                                   ": </b>hello &lt;all&gt; &amp; <a href=\"http://x.example/?a=1&b=2\" "
                                   "target=\"_blank\">http://x.example/?a=1&amp;b=2</a></p>";
    for (ChatClient* member : {ann.get(), bob.get(), cid.get()})
        EXPECT_NE(member->WaitFor(publicLine), std::string::npos);

    // The recipient is matched without regard to case; a name not in the room makes the line public.
    Say(*ann, "only for bob", ToLowerAscii(bob->GuestName()));
    Say(*ann, "to nobody", "Nobody");
    Say(*ann, "the end");
    const std::string privateLine =
        "<b>" + annName + " (Private to " + bob->GuestName() + "): </b>only for bob";
    EXPECT_NE(ann->WaitFor(privateLine), std::string::npos);
    EXPECT_NE(bob->WaitFor(privateLine), std::string::npos);
    for (ChatClient* member : {ann.get(), bob.get(), cid.get()}) {
        EXPECT_NE(member->WaitFor("<b>" + annName + ": </b>to nobody"), std::string::npos);
        EXPECT_NE(member->WaitFor("<b>" + annName + ": </b>the end"), std::string::npos);
    }
    EXPECT_EQ(cid->Text().find("only for bob"), std::string::npos);
}

TEST_F(ChatRoomTest, IdleStreamGetsOneBlankAfterFiveSeconds) {
    auto member = Join();
    const size_t chunks = member->ChunkCount();
    const auto joined = std::chrono::steady_clock::now();
    ASSERT_NE(member->WaitFor(" ", member->Text().size(), milliseconds(8000)), std::string::npos);
    const auto waited = std::chrono::steady_clock::now() - joined;
    EXPECT_GE(waited, milliseconds(4500));
    ASSERT_EQ(member->ChunkCount(), chunks + 1);
    EXPECT_EQ(member->Chunk(chunks), " ");
}

TEST_F(ChatRoomTest, MemberThatClosesItsSocketIsRemovedAndTheOthersReload) {
    auto stay = Join();
    const size_t alone = stay->Text().size();
    auto leave = Join();
    // The reload that the second member's arrival caused.
    const size_t seen = stay->WaitFor(kReload, alone);
    const uint32_t leftId = leave->Id();
    ASSERT_GE(FindChatMember(leftId), 0);
    leave->Close();
    EXPECT_NE(stay->WaitFor(kReload, seen), std::string::npos);
    EXPECT_EQ(FindChatMember(leftId), -1);
    const std::vector<ChatMemberInfo> members = CopyChatMembers();
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].id, stay->Id());
    EXPECT_EQ(members[0].name, stay->GuestName());
    EXPECT_EQ(members[0].address, "127.0.0.1");
}

TEST_F(ChatRoomTest, ClosingTheRoomClosesEveryStream) {
    NotificationRecorder chatWindow(NotificationChannel::ChatWindow);
    auto first = Join();
    auto second = Join();
    StopChatRoom();
    EXPECT_TRUE(first->WaitForClose());
    EXPECT_TRUE(second->WaitForClose());
    WaitForChatRoom();
    EXPECT_FALSE(IsChatRoomOpen());
    EXPECT_EQ(chatWindow.CountOf(CMD_WEBCHAT_STOPPED), 1u);
    const WireResponse notice = Exchange(m_server.Port(), Get("/Webchat/"));
    EXPECT_NE(notice.body.find(">Chat Room Not Open</td>"), std::string::npos) << notice.body;

    ASSERT_TRUE(StartChatRoom(kDefaultChatMembers));
    EXPECT_TRUE(chatWindow.WaitFor(CMD_WEBCHAT_STARTED, std::chrono::seconds(5)));
    auto again = Join();
    EXPECT_EQ(CopyChatMembers().size(), 1u);
}

TEST_F(ChatRoomTest, MemberThatNeverReadsIsDroppedWithoutHoldingUpTheOthers) {
    auto speaker = Join();
    const uint32_t stalledId = NewChatMemberId();
    ChatClient stalled(m_server.Port(), stalledId, 4096);
    ASSERT_TRUE(stalled.Joined());
    // Each '<' is posted as "%3C" and shown as "&lt;": a line of 84 KiB from a body near the limit.
    // Past what the kernel buffers, the stalled member's queue reaches its bound before the last line.
    const std::string speech(21000, '<');
    constexpr int kLines = 160;
    size_t position = speaker->Text().size();
    for (int line = 0; line < kLines; ++line) {
        ASSERT_EQ(Say(*speaker, speech), "HTTP/1.1 204 No Content");
        position = speaker->WaitFor("&lt;</p>", position, std::chrono::seconds(10));
        ASSERT_NE(position, std::string::npos) << "line " << line;
    }
    EXPECT_EQ(FindChatMember(stalledId), -1);
    EXPECT_GE(FindChatMember(speaker->Id()), 0);
}

// Under the sanitizers a leak or an unjoined thread at exit fails the child's exit code.
TEST(ChatRoomAtExit, RoomLeftOpenWithAMemberClosesWhenTheProcessEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            [] {
                LoopbackServer server;
                if (!server.Started() || !StartChatRoom(kDefaultChatMembers))
                    std::exit(2);
                // The member's socket stays open on purpose: the room still holds it at exit.
                ChatClient* member = new ChatClient(server.Port(), 77);
                if (!member->Joined())
                    std::exit(3);
                member->LeaveOpenAtExit();
                delete member;
            }();
            std::exit(IsChatRoomOpen() ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "");
}

class SmallChatRoomTest : public ChatRoomFixture {
protected:
    SmallChatRoomTest() { m_maxMembers = 1; }  // raised to the least room of two
};

TEST_F(SmallChatRoomTest, FullRoomAnswersWithTheNoticeButStillServesTheFrameset) {
    auto first = Join();
    auto second = Join();
    const WireResponse full = Exchange(m_server.Port(), Get("/Webchat/output.htm?id=99"));
    EXPECT_EQ(full.statusLine, "HTTP/1.1 200 OK");
    EXPECT_NE(full.body.find(">Chat Room Full</td>"), std::string::npos) << full.body;
    EXPECT_NE(Exchange(m_server.Port(), Get("/Webchat/")).body.find("<FRAMESET"), std::string::npos);
    EXPECT_EQ(CopyChatMembers().size(), 2u);
}

TEST_F(ChatRoomTest, UntrustedPostsAreRefusedOrDropped) {
    auto member = Join();
    const std::string ids = std::to_string(member->Id());
    auto post = [&](const std::string& query, const std::string& headers, const std::string& body) {
        return Exchange(m_server.Port(), "POST /Webchat/input.htm" + query +
                                             " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n" + body);
    };
    const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
    EXPECT_EQ(post("?id=0", form + "Content-Length: 12\r\n", "speechtext=x").statusLine,
              "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(post("", form + "Content-Length: 12\r\n", "speechtext=x").statusLine, "HTTP/1.1 403 Forbidden");
    const WireResponse stranger = post("?id=12345", form + "Content-Length: 12\r\n", "speechtext=x");
    EXPECT_NE(stranger.body.find(">You are not in the chat room.</td>"), std::string::npos);
    EXPECT_EQ(
        post("?id=" + ids, "Content-Type: text/plain\r\nContent-Length: 21\r\n", "to=All&speechtext=one")
            .statusLine,
        "HTTP/1.1 204 No Content");
    EXPECT_EQ(post("?id=" + ids, form, "to=All&speechtext=two").statusLine, "HTTP/1.1 204 No Content");
    EXPECT_EQ(post("?id=" + ids, form + "Content-Length: 9\r\n", "to=All&sp").statusLine,
              "HTTP/1.1 204 No Content");
    // A body that ends before its Content-Length is not a line: no answer, nothing said.
    EXPECT_TRUE(PostCutShortGetsNoAnswer(m_server.Port(), member->Id(), "to=All&speechtext=liar", 100));
    // A body longer than the limit is cut at the limit.
    const std::string longBody = "to=All&speechtext=" + std::string(70000, 'x');
    EXPECT_EQ(
        post("?id=" + ids, form + "Content-Length: " + std::to_string(longBody.size()) + "\r\n", longBody)
            .statusLine,
        "HTTP/1.1 204 No Content");
    const size_t end = member->WaitFor(std::string(65536 - 18, 'x') + "</p>", member->Text().size());
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(member->Text().find("one"), std::string::npos);
    EXPECT_EQ(member->Text().find("two"), std::string::npos);
    EXPECT_EQ(member->Text().find("liar"), std::string::npos);
}

TEST_F(ChatRoomTest, OwnerDisconnectsAndBlocksGuestsButNotHosts) {
    NotificationRecorder chatWindow(NotificationChannel::ChatWindow);
    auto host = Join(Seat::Host);
    const size_t alone = host->Text().size();
    auto guest = Join(Seat::Guest);
    const size_t seen = host->WaitFor(kReload, alone);

    PostChatKick(host->Id(), ChatKick::Disconnect);
    ASSERT_TRUE(chatWindow.WaitFor(CMD_WEBCHAT_MEMBERS_CHANGED, std::chrono::seconds(5)));
    EXPECT_EQ(CopyChatMembers().size(), 2u);

    PostChatKick(guest->Id(), ChatKick::Block);
    EXPECT_TRUE(guest->WaitForClose());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (chatWindow.CountOf(CMD_WEBCHAT_MEMBERS_CHANGED) < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(10));
    ASSERT_EQ(chatWindow.CountOf(CMD_WEBCHAT_MEMBERS_CHANGED), 2u);
    EXPECT_NE(host->WaitFor(kReload, seen), std::string::npos);
    EXPECT_EQ(FindChatMember(guest->Id()), -1);
    EXPECT_EQ(ReadAutoBlockList(), (std::vector<uint8_t>{127, 0, 0, 1}));

    StopChatRoom();
    WaitForChatRoom();
    const size_t before = chatWindow.CountOf(CMD_WEBCHAT_MEMBERS_CHANGED);
    PostChatKick(host->Id(), ChatKick::Disconnect);
    EXPECT_EQ(chatWindow.CountOf(CMD_WEBCHAT_MEMBERS_CHANGED), before + 1) << "a closed room answers at once";
}

}  // namespace
}  // namespace sarvo::test
