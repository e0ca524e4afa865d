// Renders every dialog filled with realistic data to screenshots/ of the build tree, for a person to
// look at, and checks what a machine can see (see GalleryPhotograph.h).
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

#include <arpa/inet.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "DialogTestSupport.h"
#include "GalleryPhotograph.h"
#include "server/LocalClient.h"
#include "server/Logbook.h"
#include "services/ChatClient.h"
#include "services/CommunityOwner.h"
#include "services/CommunityStore.h"
#include "services/Webchat.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "store/Users.h"
#include "support/LoopbackServer.h"
#include "ui/dialogs/AddMemberDialog.h"
#include "ui/dialogs/AddUpdateHostDialog.h"
#include "ui/dialogs/AutoBlockerDialog.h"
#include "ui/dialogs/ClientIpFilterDialog.h"
#include "ui/dialogs/CommunityHostDialog.h"
#include "ui/dialogs/CommunityMemberDialog.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/DynamicFilePropertyDialog.h"
#include "ui/dialogs/EnterTextDialog.h"
#include "ui/dialogs/FolderPropertyDialog.h"
#include "ui/dialogs/GuestbookDialog.h"
#include "ui/dialogs/HomePageDialog.h"
#include "ui/dialogs/IpAddressEditorDialog.h"
#include "ui/dialogs/LogbookViewerDialog.h"
#include "ui/dialogs/ReportList.h"
#include "ui/dialogs/StartWebchatDialog.h"
#include "ui/dialogs/ThumbnailRunDialog.h"
#include "ui/dialogs/UserPasswordDialog.h"
#include "ui/dialogs/UsersPasswordsDialog.h"
#include "ui/dialogs/WebSitePropertyDialog.h"
#include "ui/dialogs/WebchatManagementDialog.h"

namespace sarvo::ui::test {
namespace {

void FillSettings(const std::string& home) {
    SetListenPort(8080);
    SetLogEnabled(true);
    SetLogSelf(false);
    SetMainPageTitle("Anna's Holiday Pictures");
    SetSiteIntro("Pictures and videos of our summer in Norway, 2026. Please leave a note in the guestbook!");
    SetUser("anna", "fjord-2026");
    SetUser("Bjorn", "trolltunga");
    SetUser("carla", "midnight-sun");
    SetUsePasswords(true);
    WriteIpFilterList({192, 168, 1, 255, 10, 0, 0, 255, 203, 0, 113, 7, 172, 16, 255, 255});
    WriteIpFilterType(kIpFilterForbidden);
    WriteAutoBlockList({203, 0, 113, 7, 198, 51, 100, 23, 192, 0, 2, 99, 45, 33, 32, 156, 185, 220, 101, 4});
    WriteSharedFolder({"Holiday Pictures", "Norway, summer 2026", home + "/Pictures/2026 Norway", true, false,
                       true, true, false});
    PublishedFileRecord log;
    log.path = "/var/log/sarvo/server-2026-12-07.log";
    log.searchPattern = "server-*.log";
    log.realTime = 1;
    log.useNewest = 1;
    SetPublishedFile("server.log", log);
}

void WriteGuestbook(const sarvo::test::TempFolder& home) {
    const struct {
        const char* name;
        const char* text;
        int minutesAgo;
    } messages[] = {
        {"85.214.132.117.txt", "What a view from Preikestolen! We were there in 2019, brings back memories.",
         12},
        {"10.0.0.23.txt", "Hi Anna, the midnight sun pictures are amazing. Can you send me the big one?", 95},
        {"85.214.132.117(2).txt", "PS: the video of the ferry does not play in my browser.", 11},
        {"192.0.2.44.txt", "Greetings from Bergen! Next time come and visit us. -- Kari & Nils", 2900},
        {"203.0.113.9.txt", "Nice site. Which camera did you use for the northern lights?", 6000},
    };
    for (const auto& m : messages) {
        const std::string path = home.WriteFile(std::string("SarvoGuestbook/") + m.name, m.text);
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(m.minutesAgo));
    }
}

void WriteLogbook() {
    const std::string separator = std::string(kLogSeparatorLength, '=') + "\r\n";
    std::ofstream out(LogbookPath(), std::ios::binary | std::ios::trunc);
    const char* paths[] = {"/",
                           "/Holiday%20Pictures/",
                           "/Holiday%20Pictures/fjord-night.jpg",
                           "/Holiday%20Pictures/?thumbnail",
                           "/Guestbook/",
                           "/WebChat/"};
    for (int i = 0; i < 40; ++i) {
        out << "Time: 2026-12-07 09:" << 10 + i / 4 << ":" << 10 + i << "\r\nAddr: 85.214.132." << 100 + i % 7
            << ":" << 50000 + i * 13 << "\r\nGET " << paths[i % 6]
            << " HTTP/1.1\r\nHost: anna.example.net:8080\r\nUser-Agent: Mozilla/5.0 (X11; Linux x86_64; "
               "rv:128.0) Gecko/20100101 Firefox/128.0\r\nAccept: text/html,*/*\r\n";
        if (i % 9 == 8)
            out << "\r\n*** Disconnected by client.\r\n";
        out << separator;
    }
}

SystemTime At(uint16_t day, uint16_t hour, uint16_t minute) {
    SystemTime time{};
    time.year = 2026;
    time.month = 12;
    time.day = day;
    time.hour = hour;
    time.minute = minute;
    time.second = 7;
    return time;
}

void FillCommunity(const sarvo::test::TempFolder& home) {
    SetWebCommHost(true);
    SetWebCommMember(true);
    SetWebCommNameAsHost("Gardens of Norway");
    SetWebCommDescAsHost("Home servers of gardeners from Tromsø to Kristiansand");
    StoreCommunityMember({"ola-n", "Ola's Apple Orchard", "http://85.214.132.117:8080/",
                          "Apples, pears and cider", At(7, 9, 12)});
    StoreCommunityMember(
        {"kari.b", "Kari i Bergen", "http://192.0.2.44/", "Rhododendrons in the rain", At(6, 22, 3)});
    StoreCommunityMember({"nils77", "Nils' Greenhouse", "http://203.0.113.9:81/Greenhouse/",
                          "Tomatoes and chili under glass", At(7, 8, 55)});
    StoreCommunityMember({"ingrid", "", "", "", {}});
    WriteSharedFolder(
        {"Holiday Pictures", "Norway, summer 2026", home.Path(), true, false, true, true, false});
    PublishedFileRecord file;
    file.path = home.Path() + "/anna.png";
    SetPublishedFile("anna.png", file);
    file.path = home.Path() + "/resume.pdf";
    SetPublishedFile("resume.pdf", file);
    CommunityHost host;
    host.id = "anna-k";
    host.memberName = "Anna's Holiday Pictures";
    host.icon = "anna.png";
    host.page = "Holiday Pictures/";
    host.memberDescription = "Pictures and videos of our summer in Norway";
    host.loginUrl = "http://fjord.example.org/WebCommunity/login";
    host.hostName = "Fjord Friends";
    host.hostDescription = "Photographers along the west coast";
    host.hostPage = "http://fjord.example.org/WebCommunity/";
    host.lastLogin = At(7, 9, 30);
    StoreCommunityHost(host);
    host.id = "anna.k";
    host.loginUrl = "http://192.0.2.200:8080/WebCommunity/login";
    host.hostName = "";
    host.hostPage = "";
    host.hostDescription = "Can not connect to 192.0.2.200";
    host.lastLogin = At(2, 18, 4);
    StoreCommunityHost(host);
}

WebSitePropertyActions GalleryActions() {
    WebSitePropertyActions actions;
    actions.desktopShortcutExists = [] { return true; };
    actions.createDesktopShortcut = [] { return true; };
    actions.deleteDesktopShortcut = [] { return true; };
    actions.uninstall = [](QWidget*) {};
    actions.openGuestbook = [](QWidget*) {};
    return actions;
}

struct GalleryCase {
    const char* name;
    std::function<std::unique_ptr<QDialog>(const sarvo::test::TempFolder& home)> make;
};

class DialogGallery : public DialogTest, public ::testing::WithParamInterface<GalleryCase> {};

TEST_P(DialogGallery, RendersWholeAndUncluttered) {
    FillSettings(m_home.Path());
    std::unique_ptr<QDialog> dialog = GetParam().make(m_home);
    Photograph(dialog.get(), QString::fromUtf8(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogGallery,
    ::testing::
        Values(GalleryCase{"WebSitePropertyDialog",
                           [](const sarvo::test::TempFolder&) {
                               return std::make_unique<WebSitePropertyDialog>(nullptr, GalleryActions());
                           }},
               GalleryCase{"HomePageDialog",
                           [](const sarvo::test::TempFolder& home) {
                               auto dialog = std::make_unique<HomePageDialog>(nullptr);
                               dialog->UseFile(QString::fromStdString(home.Path() + "/site/index.html"));
                               return dialog;
                           }},
               GalleryCase{"UsersPasswordsDialog",
                           [](const sarvo::test::TempFolder&) {
                               auto dialog = std::make_unique<UsersPasswordsDialog>(nullptr);
                               dialog->findChild<QTableWidget*>(kUsersList)->selectRow(1);
                               return dialog;
                           }},
               GalleryCase{"UserPasswordDialog",
                           [](const sarvo::test::TempFolder&) {
                               return std::make_unique<UserPasswordDialog>(nullptr, QStringLiteral("Bjorn"),
                                                                           QStringLiteral("trolltunga"));
                           }},
               GalleryCase{"ClientIpFilterDialog",
                           [](const sarvo::test::TempFolder&) {
                               return std::make_unique<ClientIpFilterDialog>(nullptr);
                           }},
               GalleryCase{
                   "IpAddressEditorDialog",
                   [](const sarvo::test::TempFolder&) {
                       return std::make_unique<IpAddressEditorDialog>(nullptr, IpFields{192, 168, 1, 255});
                   }},
               GalleryCase{"AutoBlockerDialog",
                           [](const sarvo::test::TempFolder&) {
                               return std::make_unique<AutoBlockerDialog>(nullptr);
                           }},
               GalleryCase{"EnterTextDialog",
                           [](const sarvo::test::TempFolder&) {
                               auto dialog = std::make_unique<EnterTextDialog>(nullptr, 3);
                               dialog->findChild<QLineEdit*>(kEnterTextField)
                                   ->setText(QStringLiteral("GET /Holiday%20Pictures/"));
                               return dialog;
                           }},
               GalleryCase{"FolderPropertyDialog",
                           [](const sarvo::test::TempFolder&) {
                               return std::make_unique<FolderPropertyDialog>(
                                   nullptr, QStringLiteral("Holiday Pictures"), DefaultFolderPropertyTools());
                           }},
               GalleryCase{"DynamicFilePropertyDialog",
                           [](const sarvo::test::TempFolder&) {
                               return std::make_unique<DynamicFilePropertyDialog>(
                                   nullptr, QStringLiteral("server.log"));
                           }},
               GalleryCase{"GuestbookDialog",
                           [](const sarvo::test::TempFolder& home) -> std::unique_ptr<QDialog> {
                               WriteGuestbook(home);
                               SetGuestbookEnabled(true);
                               SetGuestbookAlarmOn(true);
                               auto dialog = std::make_unique<GuestbookDialog>(nullptr, ShellActions{});
                               dialog->findChild<ReportList*>(kReceivedMessages)->SelectOnly(1);
                               return dialog;
                           }},
               GalleryCase{"LogbookViewerDialog",
                           [](const sarvo::test::TempFolder&) -> std::unique_ptr<QDialog> {
                               WriteLogbook();
                               auto dialog = std::make_unique<LogbookViewerDialog>(nullptr);
                               LogbookViewerDialog* viewer = dialog.get();
                               viewer->Refresh();
                               EXPECT_TRUE(WaitUntil([viewer] { return !viewer->IsLoading(); }));
                               return dialog;
                           }},
               GalleryCase{"StartWebchatDialog",
                           [](const sarvo::test::TempFolder&) -> std::unique_ptr<QDialog> {
                               return std::make_unique<StartWebchatDialog>(nullptr);
                           }},
               GalleryCase{"CommunityHostDialog",
                           [](const sarvo::test::TempFolder& home) -> std::unique_ptr<QDialog> {
                               FillCommunity(home);
                               auto dialog = std::make_unique<CommunityHostDialog>(nullptr, ShellActions{});
                               dialog->findChild<ReportList*>(kCommunityMembersList)->SelectOnly(0);
                               return dialog;
                           }},
               GalleryCase{"AddMemberDialog",
                           [](const sarvo::test::TempFolder& home) -> std::unique_ptr<QDialog> {
                               FillCommunity(home);
                               auto dialog = std::make_unique<AddMemberDialog>(nullptr);
                               dialog->findChild<QLineEdit*>(kMemberIdLabel)
                                   ->setText(QStringLiteral("sigrid-h"));
                               return dialog;
                           }},
               GalleryCase{"CommunityMemberDialog",
                           [](const sarvo::test::TempFolder& home) -> std::unique_ptr<QDialog> {
                               FillCommunity(home);
                               auto dialog = std::make_unique<CommunityMemberDialog>(nullptr, ShellActions{});
                               dialog->findChild<ReportList*>(kCommunityHostsList)->SelectOnly(0);
                               return dialog;
                           }},
               GalleryCase{"AddUpdateHostDialog",
                           [](const sarvo::test::TempFolder& home) -> std::unique_ptr<QDialog> {
                               FillCommunity(home);
                               return std::make_unique<AddUpdateHostDialog>(
                                   nullptr, AddUpdateHostDialog::Purpose::Update,
                                   *FindCommunityHost("anna-k"));
                           }}),
    [](const ::testing::TestParamInfo<GalleryCase>& info) { return std::string(info.param.name); });

TEST_F(DialogTest, ThumbnailProgressIsPhotographedWhileTheToolRuns) {
    const std::string tool = m_home.WriteFile("busy-tool",
                                              "#!/bin/sh\n"
                                              "trap 'exit 130' TERM\n"
                                              "printf '\\r\\033[K117/300 pictures  42.0/s  %s' \"$1\" >&2\n"
                                              "i=0; while [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    ThumbnailRunDialog run(nullptr, QString::fromStdString(tool),
                           QString::fromStdString(m_home.Path() + "/Pictures/2026 Norway"), true);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&run, &poll] {
        if (run.Count().done != 117)
            return;
        poll.stop();
        Photograph(&run, QStringLiteral("ThumbnailRunDialog"));
        run.reject();
    });
    poll.start(20);
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(run.Count().total, 300);
}

// The members of a running room, renamed as visitors rename themselves.
TEST(DialogGalleryRoom, WebchatManagementDialog) {
    sarvo::test::LoopbackServer server;
    ASSERT_TRUE(server.Started());
    ASSERT_TRUE(SetWebChatWelcomeMsg("Welcome to Anna's chat room! Be kind, and ask about the pictures."));
    ASSERT_TRUE(StartChatRoom(kDefaultChatMembers));
    std::vector<std::unique_ptr<sarvo::test::ChatClient>> members;
    SetLocalClientRule(LocalClientRule::TreatAllAsRemote);
    for (const char* name : {"Ola", "Kari_B", "nils77", "Ingrid"}) {
        members.push_back(std::make_unique<sarvo::test::ChatClient>(server.Port(), NewChatMemberId()));
        EXPECT_TRUE(members.back()->Joined());
        sarvo::test::Speak(server.Port(), members.back()->Id(), "All", std::string("!name=") + name);
    }
    SetLocalClientRule(LocalClientRule::Recognize);
    EXPECT_TRUE(WaitUntil([] {
        for (const ChatMemberInfo& member : CopyChatMembers()) {
            if (member.name.starts_with("Guest"))
                return false;
        }
        return true;
    }));
    {
        WebchatManagementDialog dialog(nullptr);
        dialog.findChild<ReportList*>(kChatRoomMembers)->SelectOnly(1);
        Photograph(&dialog, QStringLiteral("WebchatManagementDialog"));
        dialog.reject();
    }
    StopChatRoom();
    WaitForChatRoom();
}

}  // namespace
}  // namespace sarvo::ui::test
