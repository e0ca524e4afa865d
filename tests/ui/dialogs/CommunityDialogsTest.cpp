#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <chrono>
#include <optional>
#include <thread>

#include "DialogTestSupport.h"
#include "services/CommunityLogins.h"
#include "services/CommunityOwner.h"
#include "services/CommunityStore.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"
#include "ui/dialogs/AddMemberDialog.h"
#include "ui/dialogs/AddUpdateHostDialog.h"
#include "ui/dialogs/CommunityHostDialog.h"
#include "ui/dialogs/CommunityMemberDialog.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/ReportList.h"

namespace sarvo::ui::test {
namespace {

struct IdCase {
    const char* typed;
    bool okEnabled;
};

class AddMemberTest : public DialogTest, public ::testing::WithParamInterface<IdCase> {};

TEST_P(AddMemberTest, OkNeedsThreeCharactersAndANewId) {
    ASSERT_EQ(AddCommunityMemberId("ola-nordmann"), "");
    AddMemberDialog dialog(nullptr);
    auto* id = Child<QLineEdit>(&dialog, kMemberIdLabel);
    EXPECT_EQ(id->maxLength(), 64);
    TypeInto(id, QString::fromUtf8(GetParam().typed));
    EXPECT_EQ(Child<QPushButton>(&dialog, kOkButton)->isEnabled(), GetParam().okEnabled);
}

INSTANTIATE_TEST_SUITE_P(Ids, AddMemberTest,
                         ::testing::Values(IdCase{"", false}, IdCase{"ab", false}, IdCase{"abc", true},
                                           IdCase{"  ab \t", false}, IdCase{"ola-nordmann", false},
                                           IdCase{" ola-nordmann ", false}, IdCase{"ola-nordmann2", true}),
                         [](const auto& info) { return CaseName(info.index, info.param.typed); });

struct HostCase {
    const char* description;
    AddUpdateHostDialog::Purpose purpose;
    const char* id;
    const char* loginUrl;
    bool okEnabled;
};

class AddUpdateHostTest : public DialogTest, public ::testing::WithParamInterface<HostCase> {};

TEST_P(AddUpdateHostTest, OkNeedsTwoCharacterIdTwelveCharacterUrlAndForANewRecordAFreeId) {
    const HostCase& c = GetParam();
    CommunityHost existing;
    existing.id = "fjordfans";
    existing.loginUrl = "http://fjord.example.org/WebCommunity/login";
    ASSERT_EQ(AddCommunityHostRecord(existing), "");
    CommunityHost host;
    if (c.purpose == AddUpdateHostDialog::Purpose::Update)
        host = existing;
    AddUpdateHostDialog dialog(nullptr, c.purpose, host);
    auto* id = Child<QLineEdit>(&dialog, kIdLabel);
    if (c.purpose == AddUpdateHostDialog::Purpose::Add)
        TypeInto(id, QString::fromUtf8(c.id));
    TypeInto(Child<QLineEdit>(&dialog, kLoginUrlField), QString::fromUtf8(c.loginUrl));
    EXPECT_EQ(Child<QPushButton>(&dialog, kOkButton)->isEnabled(), c.okEnabled);
}

constexpr auto kAdd = AddUpdateHostDialog::Purpose::Add;
constexpr auto kUpdate = AddUpdateHostDialog::Purpose::Update;

INSTANTIATE_TEST_SUITE_P(
    Fields, AddUpdateHostTest,
    ::testing::Values(HostCase{"TwoCharacterIdElevenCharacterUrl", kAdd, "ab", "http://a.no", false},
                      HostCase{"TwoCharacterIdTwelveCharacterUrl", kAdd, "ab", "http://ab.no", true},
                      HostCase{"OneCharacterId", kAdd, "a", "http://ab.no/login", false},
                      HostCase{"BlanksDoNotCount", kAdd, " a ", "  http://a.no  ", false},
                      HostCase{"IdOfAnExistingRecord", kAdd, "fjordfans", "http://ab.no/login", false},
                      HostCase{"UpdateKeepsItsOwnId", kUpdate, "", "http://ab.no/login", true},
                      HostCase{"UpdateStillNeedsTheUrl", kUpdate, "", "http://a.no", false}),
    [](const auto& info) { return std::string(info.param.description); });

TEST_F(DialogTest, AddUpdateHostOffersTheSitesPagesAndImagesAndReturnsTheTrimmedRecord) {
    ASSERT_TRUE(WriteSharedFolder({"Holiday Pictures", "", m_home.Path(), true, false, true, false, false}));
    PublishedFileRecord file;
    file.path = m_home.Path() + "/anna.png";
    ASSERT_TRUE(SetPublishedFile("anna.png", file));
    file.path = m_home.Path() + "/cv.pdf";
    ASSERT_TRUE(SetPublishedFile("cv.pdf", file));
    file.path = m_home.Path() + "/Logo.JPG";
    ASSERT_TRUE(SetPublishedFile("Logo.JPG", file));

    AddUpdateHostDialog dialog(nullptr, kAdd, CommunityHost{});
    EXPECT_EQ(Child<QLineEdit>(&dialog, kIdLabel)->text(),
              QString::fromUtf8(AddUpdateHostDialog::kDefaultMemberId));
    EXPECT_EQ(Child<QLineEdit>(&dialog, kLoginUrlField)->text(), AddUpdateHostDialog::DefaultLoginUrl());
    auto* page = Child<QComboBox>(&dialog, kPageField);
    QStringList pages;
    for (int i = 0; i < page->count(); ++i)
        pages.append(page->itemText(i));
    EXPECT_EQ(pages, (QStringList{"[Root]", "[Holiday Pictures]", "[Webchat]", "[WebCommunity]", "anna.png",
                                  "cv.pdf", "Logo.JPG"}));
    EXPECT_EQ(page->currentText(), QStringLiteral("[Root]"));
    auto* icon = Child<QComboBox>(&dialog, kIconLabel);
    EXPECT_EQ(icon->count(), 2);
    EXPECT_EQ(icon->itemText(0), QStringLiteral("anna.png"));
    EXPECT_EQ(icon->itemText(1), QStringLiteral("Logo.JPG"));

    TypeInto(Child<QLineEdit>(&dialog, kIdLabel), QStringLiteral(" anna-k "));
    TypeInto(Child<QLineEdit>(&dialog, kNameLabel), QStringLiteral(" Anna's Holiday Pictures\t"));
    page->setCurrentText(QStringLiteral("[Holiday Pictures]"));
    icon->setCurrentText(QStringLiteral("Logo.JPG"));
    Child<QPlainTextEdit>(&dialog, kDescriptionLabel)->setPlainText(QStringLiteral("\nNorway, summer 2026 "));
    Child<QPushButton>(&dialog, kOkButton)->click();
    const CommunityHost& host = dialog.Host();
    EXPECT_EQ(host.id, "anna-k");
    EXPECT_EQ(host.memberName, "Anna's Holiday Pictures");
    EXPECT_EQ(host.page, "Holiday Pictures/");
    EXPECT_EQ(host.icon, "Logo.JPG");
    EXPECT_EQ(host.memberDescription, "Norway, summer 2026");

    AddUpdateHostDialog again(nullptr, kUpdate, host);
    EXPECT_EQ(Child<QComboBox>(&again, kPageField)->currentText(), QStringLiteral("[Holiday Pictures]"));
    EXPECT_EQ(Child<QComboBox>(&again, kIconLabel)->currentText(), QStringLiteral("Logo.JPG"));
    EXPECT_TRUE(Child<QLineEdit>(&again, kIdLabel)->isReadOnly());
}

TEST_F(DialogTest, CommunityHostStoresEachChangeAsItIsMade) {
    CommunityMember member{"ola", "Ola's Garden", "http://10.0.0.7/", "Roses and apples", {}};
    ASSERT_TRUE(StoreCommunityMember(member));
    ASSERT_TRUE(StoreCommunityMember({"kari", "", "", "", {}}));
    QStringList opened;
    ShellActions shell;
    shell.openAddress = [&opened](const QString& address) { opened.append(address); };
    CommunityHostDialog dialog(nullptr, shell);
    dialog.show();
    auto* list = Child<ReportList>(&dialog, kCommunityMembersList);
    ASSERT_EQ(list->Model().rowCount(), 2);
    const int ola = static_cast<int>(Column(list, 0).indexOf(QStringLiteral("ola")));
    list->SelectOnly(ola);
    EXPECT_TRUE(Child<QPushButton>(&dialog, kOpenButton)->isEnabled());
    Child<QPushButton>(&dialog, kOpenButton)->click();
    EXPECT_EQ(opened, QStringList{"http://10.0.0.7/"});
    list->SelectOnly(1 - ola);
    EXPECT_FALSE(Child<QPushButton>(&dialog, kOpenButton)->isEnabled()) << "no URL yet";

    WhenModalOpens([](QWidget* ask) {
        TypeInto(Child<QLineEdit>(ask, kMemberIdLabel), QStringLiteral(" nils "));
        Child<QPushButton>(ask, kOkButton)->click();
    });
    Child<QPushButton>(&dialog, kAddButton)->click();
    ASSERT_TRUE(FindCommunityMember("nils").has_value());
    ASSERT_EQ(list->SelectedRows().size(), 1u);
    EXPECT_EQ(list->Model().Row(list->SelectedRows().front())[0], QStringLiteral("nils"));

    list->SelectOnly(ola);
    Answer answer;
    AnswerNextQuestion(QMessageBox::Yes, answer);
    Child<QPushButton>(&dialog, kRemoveButton)->click();
    EXPECT_EQ(answer.asked, QStringLiteral("Sarvo|Remove selected items?"));
    EXPECT_TRUE(answer.iconless);
    EXPECT_FALSE(FindCommunityMember("ola").has_value());
    EXPECT_FALSE(Column(list, 0).contains(QStringLiteral("ola")));

    Child<QCheckBox>(&dialog, kEnableCommunityHost)->click();
    EXPECT_TRUE(IsWebCommHost()) << "stored at the click";
    auto* description = Child<QLineEdit>(&dialog, kDescriptionLabel);
    auto* save = Child<QPushButton>(&dialog, kSaveButton);
    TypeInto(description, QStringLiteral(" ab "));
    EXPECT_FALSE(save->isEnabled());
    TypeInto(Child<QLineEdit>(&dialog, kNameLabel), QStringLiteral(" Gardens of Norway "));
    TypeInto(description, QStringLiteral(" abc "));
    EXPECT_TRUE(save->isEnabled());
    save->click();
    EXPECT_EQ(GetWebCommNameAsHost(), "Gardens of Norway");
    EXPECT_EQ(GetWebCommDescAsHost(), "abc");
    TypeInto(description, QStringLiteral("not saved"));
    Child<QPushButton>(&dialog, kCloseButton)->click();
    EXPECT_EQ(GetWebCommDescAsHost(), "abc") << "Close stores nothing further";
}

TEST_F(DialogTest, CommunityMemberSwitchStaysOffWhenTheDialogIsCancelled) {
    ASSERT_TRUE(SetWebCommMember(true));
    CommunityMemberDialog dialog(nullptr, ShellActions{});
    auto* enable = Child<QCheckBox>(&dialog, kEnableCommunityMember);
    EXPECT_TRUE(enable->isChecked());
    enable->click();
    dialog.reject();
    EXPECT_FALSE(IsWebCommMember());
}

TEST_F(DialogTest, CommunityMemberAddsEditsAndRemovesHostRecords) {
    CommunityMemberDialog dialog(nullptr, ShellActions{});
    dialog.show();
    auto* list = Child<ReportList>(&dialog, kCommunityHostsList);
    WhenModalOpens([](QWidget* editor) {
        TypeInto(Child<QLineEdit>(editor, kIdLabel), QStringLiteral("anna-k"));
        TypeInto(Child<QLineEdit>(editor, kLoginUrlField),
                 QStringLiteral("http://fjord.example.org/WebCommunity/login"));
        TypeInto(Child<QLineEdit>(editor, kNameLabel), QStringLiteral("Anna"));
        Child<QPushButton>(editor, kOkButton)->click();
    });
    Child<QPushButton>(&dialog, kAddButton)->click();
    ASSERT_EQ(list->Model().rowCount(), 1);
    EXPECT_EQ(list->Model().Row(0)[1], QStringLiteral("Anna"));
    EXPECT_TRUE(Child<QPushButton>(&dialog, kEditButton)->isEnabled());

    WhenModalOpens([](QWidget* editor) {
        TypeInto(Child<QLineEdit>(editor, kNameLabel), QStringLiteral("Anna K."));
        Child<QPushButton>(editor, kOkButton)->click();
    });
    Child<QPushButton>(&dialog, kEditButton)->click();
    ASSERT_TRUE(FindCommunityHost("anna-k").has_value());
    EXPECT_EQ(FindCommunityHost("anna-k")->memberName, "Anna K.");
    EXPECT_EQ(list->Model().Row(0)[1], QStringLiteral("Anna K."));

    Answer answer;
    AnswerNextQuestion(QMessageBox::Yes, answer);
    Child<QPushButton>(&dialog, kRemoveButton)->click();
    EXPECT_TRUE(answer.iconless);
    EXPECT_EQ(list->Model().rowCount(), 0);
    EXPECT_FALSE(FindCommunityHost("anna-k").has_value());
    dialog.reject();
}

// This server is its own community host: the member record points its login at the loopback server.
TEST(CommunityMemberLoginTest, ClosingTheDialogStartsALoginPassAtOnce) {
    sarvo::test::LoopbackServer server;
    ASSERT_TRUE(server.Started());
    ASSERT_TRUE(SetWebCommHost(true));
    ASSERT_TRUE(SetWebCommNameAsHost("Gardens of Norway"));
    ASSERT_TRUE(SetWebCommDescAsHost("Gardeners who show their gardens"));
    ASSERT_EQ(AddCommunityMemberId("anna-k"), "");
    CommunityHost host;
    host.id = "anna-k";
    host.memberName = "Anna's Holiday Pictures";
    host.loginUrl = "http://127.0.0.1:" + std::to_string(server.Port()) + "/WebCommunity/login";
    ASSERT_EQ(AddCommunityHostRecord(host), "");
    const auto loggedIn = [] {
        const std::optional<CommunityMember> member = FindCommunityMember("anna-k");
        return member && member->name == "Anna's Holiday Pictures";
    };
    // Started while this server is no member, so its first pass logs in nowhere and then it waits.
    ASSERT_TRUE(SetWebCommMember(false));
    struct LoginThread {
        LoginThread() { StartCommunityLogins(); }
        ~LoginThread() { StopCommunityLogins(); }
    } thread;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(SetWebCommMember(true));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_FALSE(loggedIn()) << "the thread was to wait for its next turn";
    {
        CommunityMemberDialog dialog(nullptr, ShellActions{});
        dialog.show();
        Child<QPushButton>(&dialog, kCloseButton)->click();
    }
    EXPECT_TRUE(WaitUntil(loggedIn)) << "the host saw no login";
    EXPECT_TRUE(WaitUntil([] {
        const std::optional<CommunityHost> stored = FindCommunityHost("anna-k");
        return stored && stored->hostName == "Gardens of Norway";
    }));
}

}  // namespace
}  // namespace sarvo::ui::test
