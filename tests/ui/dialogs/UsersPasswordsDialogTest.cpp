#include "ui/dialogs/UsersPasswordsDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <map>
#include <string>

#include "DialogTestSupport.h"
#include "store/SiteSettings.h"
#include "store/Users.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/UserPasswordDialog.h"

namespace sarvo::ui::test {
namespace {

std::map<std::string, std::string> StoredUsers() {
    std::map<std::string, std::string> users;
    std::string name;
    std::string password;
    for (int index = 0; EnumerateUser(index, name, password); ++index)
        users[name] = password;
    return users;
}

QStringList Column(QTableWidget* list, int column) {
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts.append(list->item(row, column)->text());
    return texts;
}

struct UserCase {
    const char* name;
    const char* password;
    bool okEnabled;
};

class UserPasswordTest : public DialogTest, public ::testing::WithParamInterface<UserCase> {};

TEST_P(UserPasswordTest, OkNeedsThreeCharactersOfNameAndSixOfPasswordAfterTrimming) {
    const UserCase& c = GetParam();
    UserPasswordDialog dialog(nullptr, QString(), QString());
    TypeInto(Child<QLineEdit>(&dialog, kUserNameLabel), QString::fromUtf8(c.name));
    TypeInto(Child<QLineEdit>(&dialog, kPasswordLabel), QString::fromUtf8(c.password));
    EXPECT_EQ(Child<QPushButton>(&dialog, kOkButton)->isEnabled(), c.okEnabled);
}

INSTANTIATE_TEST_SUITE_P(Lengths, UserPasswordTest,
                         ::testing::Values(UserCase{"ann", "secret", true}, UserCase{"an", "secret", false},
                                           UserCase{"ann", "12345", false}, UserCase{"ann", "123456", true},
                                           UserCase{"  an  ", "secret", false},
                                           UserCase{"ann", "\t12345 ", false}, UserCase{"", "", false},
                                           UserCase{"Zoë", "pässwörd", true}),
                         [](const auto& info) { return CaseName(info.index, info.param.name); });

TEST_F(DialogTest, UserPasswordReturnsTrimmedTextsOfAtMost250Characters) {
    UserPasswordDialog dialog(nullptr, QStringLiteral("old"), QStringLiteral("oldpass"));
    auto* name = Child<QLineEdit>(&dialog, kUserNameLabel);
    EXPECT_EQ(name->text(), QStringLiteral("old"));
    EXPECT_EQ(name->maxLength(), 250);
    TypeInto(name, QStringLiteral("  bob "));
    TypeInto(Child<QLineEdit>(&dialog, kPasswordLabel), QStringLiteral(" hunter22\t"));
    Child<QPushButton>(&dialog, kOkButton)->click();
    EXPECT_EQ(dialog.UserName(), QStringLiteral("bob"));
    EXPECT_EQ(dialog.Password(), QStringLiteral("hunter22"));
}

TEST_F(DialogTest, UsersAreListedByNameWithoutRegardToCaseAndEditAndRemoveFollowTheSelection) {
    ASSERT_TRUE(SetUser("zed", "zedpass"));
    ASSERT_TRUE(SetUser("Anna", "annapass"));
    ASSERT_TRUE(SetUser("bob", "bobpass1"));
    UsersPasswordsDialog dialog(nullptr);
    auto* list = Child<QTableWidget>(&dialog, kUsersList);
    EXPECT_EQ(Column(list, 0), (QStringList{"Anna", "bob", "zed"}));
    EXPECT_EQ(Column(list, 1), (QStringList{"annapass", "bobpass1", "zedpass"}));

    struct Selection {
        QList<int> rows;
        bool edit;
        bool remove;
    };
    for (const Selection& s :
         {Selection{{}, false, false}, Selection{{1}, true, true}, Selection{{0, 2}, false, true}}) {
        SCOPED_TRACE(s.rows.size());
        list->clearSelection();
        for (const int row : s.rows)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        EXPECT_EQ(Child<QPushButton>(&dialog, kEditButton)->isEnabled(), s.edit);
        EXPECT_EQ(Child<QPushButton>(&dialog, kRemoveButton)->isEnabled(), s.remove);
    }
    dialog.reject();
}

TEST_F(DialogTest, UsersPasswordsStoresTheListOnTheCaptionCloseButton) {
    ASSERT_TRUE(SetUser("anna", "annapass"));
    ASSERT_TRUE(SetUser("bob", "bobpass1"));
    UsersPasswordsDialog dialog(nullptr);
    dialog.show();
    auto* list = Child<QTableWidget>(&dialog, kUsersList);
    list->selectRow(0);
    Child<QPushButton>(&dialog, kRemoveButton)->click();

    WhenModalOpens([](QWidget* editor) {
        TypeInto(Child<QLineEdit>(editor, kUserNameLabel), QStringLiteral(" carol "));
        TypeInto(Child<QLineEdit>(editor, kPasswordLabel), QStringLiteral("carolpass"));
        Child<QPushButton>(editor, kOkButton)->click();
    });
    Child<QPushButton>(&dialog, kAddButton)->click();
    EXPECT_EQ(Column(list, 0), (QStringList{"bob", "carol"}));
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1) << "the new row is the only one selected";
    EXPECT_EQ(list->currentRow(), 1);
    Child<QCheckBox>(&dialog, kEnablePassword)->setChecked(true);

    EXPECT_TRUE(dialog.close()) << "the caption's close button";
    EXPECT_EQ(StoredUsers(),
              (std::map<std::string, std::string>{{"bob", "bobpass1"}, {"carol", "carolpass"}}));
    EXPECT_TRUE(UsePasswords());
}

}  // namespace
}  // namespace sarvo::ui::test
