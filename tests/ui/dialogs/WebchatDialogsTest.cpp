#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <memory>
#include <vector>

#include "DialogTestSupport.h"
#include "platform/Notification.h"
#include "server/LocalClient.h"
#include "services/ChatClient.h"
#include "services/Webchat.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/ReportList.h"
#include "ui/dialogs/StartWebchatDialog.h"
#include "ui/dialogs/WebchatManagementDialog.h"

namespace sarvo::ui::test {
namespace {

struct MembersCase {
    const char* typed;
    const char* shown;
    bool okEnabled;
};

class StartWebchatTest : public DialogTest, public ::testing::WithParamInterface<MembersCase> {};

// The dialog offers sixteen in the focused field at first; OK needs 2 to 999.
TEST_P(StartWebchatTest, OkNeedsTwoToNineHundredNinetyNineMembers) {
    const MembersCase& c = GetParam();
    StartWebchatDialog dialog(nullptr);
    dialog.show();
    auto* number = Child<QLineEdit>(&dialog, kMaximumMembersLabel);
    EXPECT_EQ(number->text(), QStringLiteral("16"));
    EXPECT_EQ(dialog.focusWidget(), number);
    TypeInto(number, QString::fromUtf8(c.typed));
    EXPECT_EQ(number->text(), QString::fromUtf8(c.shown));
    auto* ok = Child<QPushButton>(&dialog, kOkButton);
    EXPECT_EQ(ok->isEnabled(), c.okEnabled);
    if (c.okEnabled) {
        ok->click();
        EXPECT_EQ(dialog.MaximumMembers(), number->text().toUInt());
    }
}

INSTANTIATE_TEST_SUITE_P(Numbers, StartWebchatTest,
                         ::testing::Values(MembersCase{"", "", false}, MembersCase{"1", "1", false},
                                           MembersCase{"01", "01", false}, MembersCase{"2", "2", true},
                                           MembersCase{"999", "999", true}, MembersCase{"1000", "100", true},
                                           MembersCase{"x7", "7", true}, MembersCase{"-5", "5", true}),
                         [](const auto& info) { return CaseName(info.index, info.param.typed); });

// Hands the chat room's posts to the dialog on the GUI thread, as the window does while the dialog is
// open.
class ChatPostsToDialog : public NotificationTarget {
public:
    explicit ChatPostsToDialog(WebchatManagementDialog& dialog) : m_dialog(dialog) {
        SetNotificationTarget(NotificationChannel::ChatWindow, this);
    }
    ~ChatPostsToDialog() override { SetNotificationTarget(NotificationChannel::ChatWindow, nullptr); }

    void Post(uint32_t command, uintptr_t) override {
        QMetaObject::invokeMethod(
            &m_dialog, [dialog = &m_dialog, command] { dialog->OnChatCommand(command); },
            Qt::QueuedConnection);
    }

private:
    WebchatManagementDialog& m_dialog;
};

class WebchatManagementTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        ASSERT_TRUE(StartChatRoom(kDefaultChatMembers));
    }

    void TearDown() override {
        StopChatRoom();
        WaitForChatRoom();
    }

    // A member whose browser runs on another computer: the owner can disconnect only such members.
    std::unique_ptr<sarvo::test::ChatClient> JoinGuest() {
        SetLocalClientRule(LocalClientRule::TreatAllAsRemote);
        auto client = std::make_unique<sarvo::test::ChatClient>(m_server.Port(), NewChatMemberId());
        EXPECT_TRUE(client->Joined());
        SetLocalClientRule(LocalClientRule::Recognize);
        return client;
    }

    sarvo::test::LoopbackServer m_server;
};

bool AutoBlocksLoopback() {
    const std::vector<uint8_t> list = ReadAutoBlockList();
    for (size_t i = 0; i + 4 <= list.size(); i += 4) {
        if (list[i] == 127 && list[i + 1] == 0 && list[i + 2] == 0 && list[i + 3] == 1)
            return true;
    }
    return false;
}

TEST_F(WebchatManagementTest, DisconnectAndBlockEndTheMembersStreamAndTheListRefills) {
    for (const char* button : {kDisconnectButton, kBlockButton}) {
        SCOPED_TRACE(button);
        auto leaving = JoinGuest();
        auto staying = JoinGuest();
        WebchatManagementDialog dialog(nullptr);
        ChatPostsToDialog posts(dialog);
        dialog.show();
        auto* list = Child<ReportList>(&dialog, kChatRoomMembers);
        QStringList ids = Column(list, 0);
        std::sort(ids.begin(), ids.end());
        QStringList expected{QString::number(leaving->Id()), QString::number(staying->Id())};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ids, expected);
        EXPECT_EQ(Column(list, 2), (QStringList{"127.0.0.1", "127.0.0.1"}));

        const int row = static_cast<int>(Column(list, 0).indexOf(QString::number(leaving->Id())));
        list->SelectOnly(row);
        ASSERT_TRUE(Child<QPushButton>(&dialog, button)->isEnabled());
        Child<QPushButton>(&dialog, button)->click();
        EXPECT_TRUE(dialog.IsBusy());
        EXPECT_FALSE(Child<QPushButton>(&dialog, kCopyIpButton)->isEnabled()) << "nothing more while busy";
        ASSERT_TRUE(WaitUntil([&dialog] { return !dialog.IsBusy(); }));
        EXPECT_TRUE(leaving->WaitForClose());
        EXPECT_EQ(Column(list, 0), QStringList{QString::number(staying->Id())});
        EXPECT_EQ(AutoBlocksLoopback(), button == kBlockButton);
        dialog.reject();
    }
}

TEST_F(WebchatManagementTest, ClosedRoomListsNobodyAndAKickStillEndsTheBusyState) {
    auto guest = JoinGuest();
    WebchatManagementDialog dialog(nullptr);
    ChatPostsToDialog posts(dialog);
    auto* list = Child<ReportList>(&dialog, kChatRoomMembers);
    ASSERT_EQ(list->Model().rowCount(), 1);
    list->SelectOnly(0);
    StopChatRoom();
    WaitForChatRoom();
    Child<QPushButton>(&dialog, kDisconnectButton)->click();
    ASSERT_TRUE(WaitUntil([&dialog] { return !dialog.IsBusy(); }));
    EXPECT_EQ(list->Model().rowCount(), 0);
    guest->Close();
    dialog.reject();
}

TEST_F(DialogTest, WebchatWelcomeMessageIsStoredTrimmedOnEveryClose) {
    ASSERT_TRUE(SetWebChatWelcomeMsg("Hello"));
    WebchatManagementDialog dialog(nullptr);
    dialog.show();
    auto* welcome = Child<QPlainTextEdit>(&dialog, kWelcomeMessage);
    EXPECT_EQ(welcome->toPlainText(), QStringLiteral("Hello"));
    EXPECT_EQ(Child<ReportList>(&dialog, kChatRoomMembers)->Model().rowCount(), 0)
        << "the server is not running";
    welcome->setPlainText(QStringLiteral(" \tWelcome to Anna's room!\r\nBe nice. \n") +
                          QString(300, QLatin1Char('x')));
    EXPECT_EQ(welcome->toPlainText().toUtf8().size(), WebchatManagementDialog::kWelcomeMaxLength);
    EXPECT_TRUE(dialog.close()) << "the caption's close button";
    const std::string stored = GetWebChatWelcomeMsg();
    EXPECT_EQ(stored.substr(0, 35), "Welcome to Anna's room!\nBe nice. \nx");
    EXPECT_EQ(stored.size(), static_cast<size_t>(WebchatManagementDialog::kWelcomeMaxLength) - 2);
}

}  // namespace
}  // namespace sarvo::ui::test
