#include "services/CommunityHosting.h"

#include <gtest/gtest.h>

#include "server/HttpResponse.h"
#include "services/CommunityStore.h"
#include "store/Registry.h"
#include "store/SiteSettings.h"
#include "store/Users.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

constexpr char kGoodTail[] = "&name=Site&url=http://a.b.c/&desc=Hello";

class CommunityHostingTest : public ::testing::Test {
protected:
    CommunityHostingTest() {
        SetWebCommHost(true);
        StoreCommunityMember({"alpha", {}, {}, {}, {}});
        StoreCommunityMember({std::string(32, 'k'), {}, {}, {}, {}});
    }
    ~CommunityHostingTest() override { CloseSettingsStore(); }

    test::ScopedSarvoHome m_home;
};

struct LoginCase {
    const char* label;
    bool hostOn;
    std::string query;
    const char* refusal;  // nullptr: accepted
    std::string storedId = "alpha";
    std::string name = "Site";
    std::string url = "http://a.b.c/";
    std::string description = "Hello";
};

TEST_F(CommunityHostingTest, LoginsAreCheckedInTheirOrderAndStoredOnlyWhenAccepted) {
    const LoginCase cases[] = {
        {"host role off", false, std::string("id=alpha") + kGoodTail, kLoginNotSupported},
        {"empty query", true, "", kLoginBadParameters},
        {"no id", true, std::string("ident=alpha") + kGoodTail, kLoginBadParameters},
        {"empty id", true, std::string("id=") + kGoodTail, kLoginBadParameters},
        {"id of blanks only", true, std::string("id=+%20%09") + kGoodTail, kLoginBadParameters},
        {"unknown id", true, std::string("id=beta") + kGoodTail, kLoginMemberIdNotExists},
        {"unknown id is told before bad fields", true, "id=beta", kLoginMemberIdNotExists},
        {"no name", true, "id=alpha&url=http://a.b.c/&desc=x", kLoginBadParameters},
        {"empty name", true, "id=alpha&name=+&url=http://a.b.c/&desc=x", kLoginBadParameters},
        {"url of 11 characters", true, "id=alpha&name=S&url=http://a.bc&desc=x", kLoginBadParameters},
        {"no desc", true, "id=alpha&name=S&url=http://a.b.c/", kLoginBadParameters},
        {"accepted", true, std::string("id=alpha") + kGoodTail, nullptr},
        {"url of exactly 12 characters", true, "id=alpha&name=Site&url=http://a.bc/&desc=Hello", nullptr,
         "alpha", "Site", "http://a.bc/"},
        {"empty desc accepted", true, "id=alpha&name=Site&url=http://a.b.c/&desc=", nullptr, "alpha", "Site",
         "http://a.b.c/", ""},
        {"id found inside another name", true, std::string("xid=alpha") + kGoodTail, nullptr},
        {"name found inside nickname", true, "id=alpha&nickname=Bob&url=http://a.b.c/&desc=Hello&name=Site",
         nullptr, "alpha", "Bob"},
        {"id matched without case", true, std::string("id=ALPHA") + kGoodTail, nullptr},
        {"decoding", true, "id=alpha&name=Tom+%26+Jerry%21&url=http%3a%2F%2Fa.b.c%2F&desc=+%41b%63+&icon=x",
         nullptr, "alpha", "Tom & Jerry!", "http://a.b.c/", "Abc"},
        {"id cut at 32 characters", true, "id=" + std::string(40, 'k') + kGoodTail, nullptr,
         std::string(32, 'k')},
    };
    for (const LoginCase& c : cases) {
        SCOPED_TRACE(c.label);
        SetWebCommHost(c.hostOn);
        StoreCommunityMember({c.storedId, {}, {}, {}, {}});
        const char* refusal = AcceptCommunityLogin(c.query);
        if (c.refusal) {
            EXPECT_STREQ(refusal, c.refusal);
            EXPECT_EQ(FindCommunityMember("alpha")->name, "") << "a refused login changes nothing";
            continue;
        }
        EXPECT_EQ(refusal, nullptr) << refusal;
        std::optional<CommunityMember> member = FindCommunityMember(c.storedId);
        ASSERT_TRUE(member);
        EXPECT_EQ(member->name, c.name);
        EXPECT_EQ(member->url, c.url);
        EXPECT_EQ(member->description, c.description);
        EXPECT_NE(member->lastLogin.year, 0);
    }
}

TEST_F(CommunityHostingTest, FieldsEndAtTheirLimitAndAtTheNextAmpersand) {
    EXPECT_EQ(FindLoginValue("name=" + std::string(300, 'n'), "name=", kCommunityTextMax)->size(), 255u);
    EXPECT_EQ(*FindLoginValue("a=1&b=2%2", "b=", 255), std::string("2\x02"));
    EXPECT_EQ(*FindLoginValue("b=%zz&c", "b=", 255), std::string(1, '\0'));
    EXPECT_FALSE(FindLoginValue("a=1", "b=", 255));
}

TEST_F(CommunityHostingTest, TheCommunityPageShowsHostileMembersInert) {
    StoreCommunityMember({"evil",
                          "<script>alert(1)</script>",
                          "javascript:alert(1)",
                          "<img src=x onerror=alert(2)>",
                          {2026, 1, 1, 1, 1, 1, 1, 1}});
    StoreCommunityMember(
        {"sneaky", "Quote\" onmouseover=\"x", "http://ok.example/\"><script>bad()</script>", "&amp;", {}});
    StoreCommunityMember({"ghost", "Ghost", "", "never logged in", {}});
    StoreCommunityMember({"good", "Good", "HTTPS://good.example/", "Fine", {}});
    HttpResponse response;
    BuildCommunityPage(response);
    const std::string body(response.BodyText());

    EXPECT_EQ(body.find("<script"), std::string::npos);
    EXPECT_EQ(body.find("<img"), std::string::npos);
    EXPECT_EQ(body.find("javascript:"), std::string::npos) << "a non-web address gets no link";
    EXPECT_EQ(body.find("Ghost"), std::string::npos) << "a member without an address is not listed";
    EXPECT_NE(
        body.find(
            "<li>&lt;script&gt;alert(1)&lt;/script&gt;:&nbsp;&nbsp;&lt;img src=x onerror=alert(2)&gt;\r\n"),
        std::string::npos);
    EXPECT_NE(body.find("<li><a href=\"http://ok.example/&quot;&gt;&lt;script&gt;bad()&lt;/script&gt;\" "
                        "target=\"_blank\">Quote&quot; onmouseover=&quot;x</a>:&nbsp;&nbsp;&amp;amp;\r\n"),
              std::string::npos);
    EXPECT_NE(
        body.find("<li><a href=\"HTTPS://good.example/\" target=\"_blank\">Good</a>:&nbsp;&nbsp;Fine\r\n"),
        std::string::npos);
    EXPECT_EQ(body.find("Hosts"), std::string::npos) << "not a member";
}

TEST_F(CommunityHostingTest, AServerThatIsHostAndMemberListsBoth) {
    SetWebCommMember(true);
    CommunityHost host;
    host.id = "mine";
    host.hostName = "Hub";
    host.hostPage = "http://hub.example/WebCommunity/";
    host.hostDescription = "A hub";
    StoreCommunityHost(host);
    host.id = "failed";
    host.hostName.clear();
    StoreCommunityHost(host);
    HttpResponse response;
    BuildCommunityPage(response);
    const std::string body(response.BodyText());
    EXPECT_NE(body.find("margin-top:9;margin-bottom:9\">Members</h5>"), std::string::npos);
    EXPECT_NE(
        body.find("margin-top:48;margin-bottom:9\">Hosts</h5>\r\n<ul>\r\n<li><a "
                  "href=\"http://hub.example/WebCommunity/\" target=\"_blank\">Hub</a>:&nbsp;&nbsp;A hub\r\n"
                  "</ul>"),
        std::string::npos)
        << body;
}

TEST(CommunityHostingWireTest, TheLoginNeedsNoPasswordWhileEverythingElseDoes) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.Started());
    SetWebCommHost(true);
    SetWebCommNameAsHost("Hub");
    SetWebCommDescAsHost("All of us");
    StoreCommunityMember({"alpha", {}, {}, {}, {}});
    SetUser("owner", "secret");
    SetUsePasswords(true);

    test::WireResponse login =
        test::Exchange(server.Port(), test::Get("/WebCommunity/login?id=alpha" + std::string(kGoodTail)));
    EXPECT_EQ(login.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(login.Header("Content-Type"), "text/plain");
    EXPECT_EQ(login.body, "accepted\r\nHub\r\nhttp://127.0.0.1:" + std::to_string(server.Port()) +
                              "//WebCommunity/\r\nAll of us");
    test::WireResponse refused = test::Exchange(server.Port(), test::Get("/webcommunity/LOGIN?id=nobody"));
    EXPECT_EQ(refused.body, "rejected\r\nMember ID Not Exists");
    for (const char* path : {"/WebCommunity/", "/", "/WebCommunity/other"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(test::Exchange(server.Port(), test::Get(path)).statusLine.substr(0, 12), "HTTP/1.1 401");
    }
    SetUsePasswords(false);
    test::WireResponse page = test::Exchange(server.Port(), test::Get("/WebCommunity/"));
    EXPECT_EQ(page.statusLine, "HTTP/1.1 200 OK");
    EXPECT_NE(page.body.find("<a href=\"http://a.b.c/\" target=\"_blank\">Site</a>:&nbsp;&nbsp;Hello"),
              std::string::npos);
}

}  // namespace
}  // namespace sarvo
