#include "ui/dialogs/GuestbookDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <chrono>
#include <filesystem>

#include "DialogTestSupport.h"
#include "services/GuestbookOwner.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/ReportList.h"

namespace sarvo::ui::test {
namespace {

struct ShellRecorder {
    QStringList opened;
    QString chooserStart;

    ShellActions Actions(const QString& chosen) {
        ShellActions actions;
        actions.chooseFolder = [this, chosen](QWidget*, const QString& start) {
            chooserStart = start;
            return chosen;
        };
        actions.openPath = [this](const QString& path) { opened.append(path); };
        actions.openAddress = [this](const QString& address) { opened.append(address); };
        return actions;
    }
};

// A message file whose last write lies minutesAgo in the past.
std::string WriteMessage(const sarvo::test::TempFolder& home, const std::string& name,
                         const std::string& text, int minutesAgo) {
    const std::string path = home.WriteFile("SarvoGuestbook/" + name, text);
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    return path;
}

void Select(ReportList* list, std::initializer_list<int> rows) {
    list->clearSelection();
    for (const int row : rows)
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

TEST_F(DialogTest, GuestbookListsMessagesNewestFirstAndReadOpensTheFirstSelected) {
    WriteMessage(m_home, "10.0.0.5.txt", "Lovely pictures!\r\nSee you, Ola", 30);
    const std::string newest = WriteMessage(m_home, "10.0.0.5(2).txt", "One more: the fjord at night.", 1);
    WriteMessage(m_home, "192.168.1.20.txt", std::string(300, 'x'), 10);
    m_home.WriteFile("SarvoGuestbook/notes.doc", "not a message");
    ShellRecorder shell;
    GuestbookDialog dialog(nullptr, shell.Actions(QString()));
    auto* list = Child<ReportList>(&dialog, kReceivedMessages);
    EXPECT_EQ(Column(list, 0), (QStringList{"10.0.0.5(2)", "192.168.1.20", "10.0.0.5"}));
    EXPECT_EQ(Column(list, 2)[2], QStringLiteral("Lovely pictures! See you, Ola")) << "one line per row";
    EXPECT_EQ(Column(list, 2)[1].size(), 255) << "the list shows the start of a message";
    EXPECT_EQ(Column(list, 1)[0],
              QString::fromStdString(FormatGuestbookTime(ListGuestbookMessages()[0].lastWriteTime)));

    const struct {
        std::initializer_list<int> rows;
        bool enabled;
    } selections[] = {{{}, false}, {{2}, true}, {{0, 1}, true}};
    for (const auto& s : selections) {
        SCOPED_TRACE(s.rows.size());
        Select(list, s.rows);
        EXPECT_EQ(Child<QPushButton>(&dialog, kReadButton)->isEnabled(), s.enabled);
        EXPECT_EQ(Child<QPushButton>(&dialog, kDeleteButton)->isEnabled(), s.enabled);
    }
    Child<QPushButton>(&dialog, kReadButton)->click();
    EXPECT_EQ(shell.opened, QStringList{QString::fromStdString(newest)});
}

TEST_F(DialogTest, GuestbookDeletesTheSelectedMessagesOnlyOnYes) {
    const std::string a = WriteMessage(m_home, "10.0.0.1.txt", "a", 3);
    const std::string b = WriteMessage(m_home, "10.0.0.2.txt", "b", 2);
    const std::string c = WriteMessage(m_home, "10.0.0.3.txt", "c", 1);
    GuestbookDialog dialog(nullptr, ShellRecorder().Actions(QString()));
    dialog.show();
    auto* list = Child<ReportList>(&dialog, kReceivedMessages);
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        Select(list, {0, 2});
        Answer asked;
        AnswerNextQuestion(answer, asked);
        Child<QPushButton>(&dialog, kDeleteButton)->click();
        EXPECT_EQ(asked.asked, QStringLiteral("Guestbook|Delete selected messages?"));
    }
    EXPECT_EQ(Column(list, 0), QStringList{"10.0.0.2"});
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_TRUE(std::filesystem::exists(b));
    EXPECT_FALSE(std::filesystem::exists(c));
    EXPECT_FALSE(Child<QPushButton>(&dialog, kDeleteButton)->isEnabled());
    dialog.reject();
}

TEST_F(DialogTest, GuestbookStoresTheSwitchesOnOkOnlyAndNeverTheChosenFolder) {
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        ASSERT_TRUE(SetGuestbookEnabled(false));
        ASSERT_TRUE(SetGuestbookAlarmOn(true));
        ShellRecorder shell;
        GuestbookDialog dialog(nullptr, shell.Actions(QStringLiteral("/srv/other-guestbook")));
        auto* folder = Child<QLineEdit>(&dialog, kGuestbookFolderLabel);
        EXPECT_EQ(folder->text(), QString::fromStdString(m_home.Path() + "/SarvoGuestbook"));
        EXPECT_FALSE(std::filesystem::exists(m_home.Path() + "/SarvoGuestbook"))
            << "the dialog creates nothing";
        EXPECT_FALSE(Child<QCheckBox>(&dialog, kEnableGuestbook)->isChecked());
        EXPECT_TRUE(Child<QCheckBox>(&dialog, kGuestbookAlarm)->isChecked());

        Child<QPushButton>(&dialog, kBrowseButton)->click();
        EXPECT_EQ(shell.chooserStart, QString::fromStdString(m_home.Path() + "/SarvoGuestbook"));
        EXPECT_EQ(folder->text(), QStringLiteral("/srv/other-guestbook"));
        Child<QPushButton>(&dialog, kExplorerButton)->click();
        EXPECT_EQ(shell.opened, QStringList{"/srv/other-guestbook"});
        Child<QCheckBox>(&dialog, kEnableGuestbook)->setChecked(true);
        Child<QCheckBox>(&dialog, kGuestbookAlarm)->setChecked(false);
        Child<QPushButton>(&dialog, ok ? kOkButton : kCancelButton)->click();

        EXPECT_EQ(IsGuestbookEnabled(), ok);
        EXPECT_EQ(IsGuestbookAlarmOn(), !ok);
        EXPECT_EQ(GetGuestbookDir(), "");
    }
}

}  // namespace
}  // namespace sarvo::ui::test
