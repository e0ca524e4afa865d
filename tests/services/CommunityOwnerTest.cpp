#include "services/CommunityOwner.h"

#include <gtest/gtest.h>

#include <thread>

#include "services/CommunityLogins.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/Registry.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

class CommunityOwnerTest : public ::testing::Test {
protected:
    ~CommunityOwnerTest() override { CloseSettingsStore(); }

    static CommunityHost Host(const std::string& id, const std::string& loginUrl,
                              const std::string& page = "", const std::string& icon = "") {
        CommunityHost host;
        host.id = id;
        host.loginUrl = loginUrl;
        host.page = page;
        host.icon = icon;
        host.memberName = " Me \t";
        return host;
    }

    test::ScopedSarvoHome m_home;
};

TEST_F(CommunityOwnerTest, MemberIdsAreCheckedAsTheAddMemberDialogChecksThem) {
    const std::pair<std::string, bool> cases[] = {
        {"ab", false},
        {"  abc \r\n", true},
        {"ABC", false},
        {std::string(64, 'x'), true},
        {std::string(65, 'y'), false},
    };
    for (const auto& [id, added] : cases) {
        SCOPED_TRACE(id);
        EXPECT_EQ(AddCommunityMemberId(id).empty(), added) << AddCommunityMemberId(id);
    }
    std::vector<CommunityMember> members = ListCommunityMembers();
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].id, "abc");
    EXPECT_FALSE(RemoveCommunityMemberIds({"abc", "nobody"}).empty());
    EXPECT_EQ(ListCommunityMembers().size(), 2u) << "a refused removal removes none";
    EXPECT_EQ(RemoveCommunityMemberIds({"ABC", std::string(64, 'x')}), "");
    EXPECT_TRUE(ListCommunityMembers().empty());
}

TEST_F(CommunityOwnerTest, HostRecordsAreCheckedAsTheAddUpdateHostDialogChecksThem) {
    SharedFolder music;
    music.name = "Music";
    music.location = m_home.Path();
    WriteSharedFolder(music);
    PublishFile(m_home.WriteFile("pic.png", "x"));
    PublishFile(m_home.WriteFile("notes.txt", "x"));
    EXPECT_EQ(CommunityPageChoices(),
              (std::vector<std::string>{"", "Music/", "Webchat/", "WebCommunity/", "pic.png", "notes.txt"}));
    EXPECT_EQ(CommunityIconChoices(), std::vector<std::string>{"pic.png"});

    const std::string url = "http://a.bc/";
    const std::pair<CommunityHost, bool> cases[] = {
        {Host("a", url), false},
        {Host("ab", "http://a.bc"), false},
        {Host("ab", url, "Pictures/"), false},
        {Host("ab", url, "", "notes.txt"), false},
        {Host(" ab ", url, "Music/", "pic.png"), true},
        {Host("AB", url), false},
        {Host("cd", url, "notes.txt"), true},
    };
    for (const auto& [host, added] : cases) {
        SCOPED_TRACE(host.id + " " + host.loginUrl + " " + host.page + " " + host.icon);
        EXPECT_EQ(AddCommunityHostRecord(host).empty(), added);
    }
    std::optional<CommunityHost> stored = FindCommunityHost("ab");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->memberName, "Me");
    EXPECT_EQ(stored->page, "Music/");
    EXPECT_FALSE(UpdateCommunityHostRecord(Host("zz", url)).empty()) << "no such record";
    EXPECT_FALSE(UpdateCommunityHostRecord(Host("ab", "short")).empty());
    EXPECT_EQ(RemoveCommunityHostIds({"ab", "cd"}), "");
    EXPECT_TRUE(ListCommunityHosts().empty());
}

TEST_F(CommunityOwnerTest, TheLoginThreadLogsInWhenWokenAndTheOwnersEditsKeepItsOutcome) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.Started());
    SetWebCommHost(true);
    SetWebCommMember(true);
    SetWebCommNameAsHost("Self Hub");
    ASSERT_EQ(AddCommunityMemberId("myself"), "");
    const std::string serverUrl = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
    ASSERT_EQ(AddCommunityHostRecord(Host("myself", serverUrl + "WebCommunity/login")), "");

    StartCommunityLogins();
    StartCommunityLogins();
    WakeCommunityLogins();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (FindCommunityHost("myself")->hostName.empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    StopCommunityLogins();

    std::optional<CommunityHost> host = FindCommunityHost("myself");
    EXPECT_EQ(host->hostName, "Self Hub");
    EXPECT_EQ(host->hostPage, serverUrl + "/WebCommunity/");
    EXPECT_EQ(FindCommunityMember("myself")->url, serverUrl);
    host->memberDescription = "edited later";
    EXPECT_EQ(UpdateCommunityHostRecord(*host), "");
    EXPECT_EQ(FindCommunityHost("myself")->hostName, "Self Hub");
    EXPECT_EQ(FindCommunityHost("myself")->memberDescription, "edited later");
}

}  // namespace
}  // namespace sarvo
