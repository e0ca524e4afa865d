#include "ui/dialogs/FolderPropertyDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <string>

#include "DialogTestSupport.h"
#include "store/Folders.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"

namespace sarvo::ui::test {
namespace {

FolderPropertyTools ChooserGiving(const QString& folder, QString* askedStart = nullptr) {
    FolderPropertyTools tools;
    tools.chooseFolder = [folder, askedStart](QWidget*, const QString& start) {
        if (askedStart)
            *askedStart = start;
        return folder;
    };
    tools.thumbnailTool = QStringLiteral("/nonexistent/pictorn");
    return tools;
}

struct NameCase {
    const char* description;
    const char* openedName;
    const char* name;
    const char* location;
    bool okEnabled;
};

class FolderNameTest : public DialogTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(FolderNameTest, OkFollowsTheNameRules) {
    const NameCase& c = GetParam();
    ASSERT_TRUE(WriteSharedFolder({"Photos", "", "/srv/photos"}));
    ASSERT_TRUE(WriteSharedFolder({"Music", "", "/srv/music"}));
    FolderPropertyDialog dialog(nullptr, QString::fromUtf8(c.openedName), ChooserGiving({}));
    TypeInto(Child<QLineEdit>(&dialog, kNameLabel), QString::fromUtf8(c.name));
    Child<QLineEdit>(&dialog, kLocationLabel)->setText(QString::fromUtf8(c.location));
    EXPECT_EQ(Child<QPushButton>(&dialog, kOkButton)->isEnabled(), c.okEnabled) << c.description;
}

INSTANTIATE_TEST_SUITE_P(
    Names, FolderNameTest,
    ::testing::Values(NameCase{"plain", "", "Holiday", "/srv/holiday", true},
                      NameCase{"blanks inside", "", "My Holiday 2026", "/srv/holiday", true},
                      NameCase{"allowed marks and UTF-8", "", "Fotos! {Sommer} ~ Ärger", "/srv/h", true},
                      NameCase{"empty", "", "", "/srv/holiday", false},
                      NameCase{"only blanks", "", "   ", "/srv/holiday", false},
                      NameCase{"no location", "", "Holiday", "", false},
                      NameCase{"guestbook", "", "guestbook", "/srv/g", false},
                      NameCase{"WEBCHAT", "", "WEBCHAT", "/srv/w", false},
                      NameCase{"WebCommunity", "", "WebCommunity", "/srv/w", false},
                      NameCase{"hash", "", "a#b", "/srv/a", false},
                      NameCase{"ampersand", "", "a&b", "/srv/a", false},
                      NameCase{"slash", "", "a/b", "/srv/a", false},
                      NameCase{"colon", "", "a:b", "/srv/a", false},
                      NameCase{"another folder's name", "", "photos", "/srv/p", false},
                      NameCase{"its own name in other case", "Photos", "PHOTOS", "/srv/p", true},
                      NameCase{"renamed onto another folder", "Photos", "music", "/srv/p", false}),
    [](const auto& info) { return CaseName(info.index, info.param.description); });

TEST_F(DialogTest, NewFolderStartsListedWithSubfoldersAndChoosesItsLocationAtOnce) {
    ASSERT_TRUE(SetLastFolder("/srv/media/old"));
    QString askedStart;
    FolderPropertyDialog dialog(nullptr, QString(),
                                ChooserGiving(QStringLiteral("/srv/media/Holiday"), &askedStart));
    for (const auto& [box, checked] :
         {std::pair{kAllowListing, true}, std::pair{kAllowSubfolders, true}, std::pair{kAllowPosting, false},
          std::pair{kAllowZip, false}, std::pair{kFollowLinks, false}, std::pair{kCreateThumbnails, false}}) {
        SCOPED_TRACE(box);
        EXPECT_EQ(Child<QCheckBox>(&dialog, box)->isChecked(), checked);
    }
    EXPECT_FALSE(Child<QPushButton>(&dialog, kOkButton)->isEnabled());
    dialog.show();
    auto* location = Child<QLineEdit>(&dialog, kLocationLabel);
    ASSERT_TRUE(WaitUntil([location] { return location->text() == QStringLiteral("/srv/media/Holiday"); }));
    EXPECT_EQ(askedStart, QStringLiteral("/srv/media")) << "the parent of the folder chosen last";
    EXPECT_EQ(Child<QLineEdit>(&dialog, kNameLabel)->text(), QStringLiteral("Holiday"));
    EXPECT_EQ(GetLastFolder(), "/srv/media/Holiday");
    TypeInto(Child<QLineEdit>(&dialog, kDescriptionLabel), QStringLiteral(" Summer 2026 "));
    Child<QPushButton>(&dialog, kOkButton)->click();
    EXPECT_EQ(dialog.FolderName(), QStringLiteral("Holiday"));
    SharedFolder stored;
    ASSERT_TRUE(ReadSharedFolder("Holiday", stored));
    EXPECT_EQ(stored.location, "/srv/media/Holiday");
    EXPECT_EQ(stored.description, "Summer 2026");
    EXPECT_TRUE(stored.visible);
    EXPECT_TRUE(stored.canBrowseSubfolders);
    EXPECT_FALSE(stored.canPostFiles || stored.zipDownload || stored.followLinks);
}

TEST_F(DialogTest, NewFolderWhoseFirstChoiceIsCancelledIsCancelledWhole) {
    FolderPropertyDialog dialog(nullptr, QString(), ChooserGiving(QString()));
    dialog.show();
    ASSERT_TRUE(WaitUntil([&dialog] { return !dialog.isVisible(); }));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    std::string name;
    EXPECT_FALSE(EnumFolderName(0, name));
}

TEST_F(DialogTest, NameTakenFromALongFolderNameFitsTheStoresLimitInBytes) {
    const QString umlauts(30, QChar(0xC4));
    FolderPropertyDialog dialog(nullptr, QString(), ChooserGiving(QStringLiteral("/srv/") + umlauts));
    ASSERT_TRUE(dialog.Browse());
    EXPECT_EQ(Child<QLineEdit>(&dialog, kNameLabel)->text(), QString(24, QChar(0xC4))) << "two bytes each";
    EXPECT_TRUE(Child<QPushButton>(&dialog, kOkButton)->isEnabled());
}

// Cancel, a new name, then the same name in other case: the last spelling holds every value.
TEST_F(DialogTest, FolderRenameMovesEveryValueAndCancelChangesNothing) {
    const SharedFolder photos{"Photos", "Our pictures", "/srv/photos", true, true, false, true, true};
    ASSERT_TRUE(WriteSharedFolder(photos));
    const struct {
        const char* from;
        const char* to;
        bool ok;
    } steps[] = {{"Photos", "Pictures", false}, {"Photos", "Pictures", true}, {"Pictures", "PICTURES", true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << step.from << " to " << step.to << (step.ok ? " OK" : " Cancel"));
        FolderPropertyDialog dialog(nullptr, QString::fromUtf8(step.from), ChooserGiving({}));
        EXPECT_EQ(Child<QLineEdit>(&dialog, kLocationLabel)->text(), QStringLiteral("/srv/photos"));
        EXPECT_TRUE(Child<QCheckBox>(&dialog, kFollowLinks)->isChecked());
        EXPECT_FALSE(Child<QCheckBox>(&dialog, kAllowListing)->isChecked());
        TypeInto(Child<QLineEdit>(&dialog, kNameLabel), QString::fromUtf8(step.to));
        Child<QPushButton>(&dialog, step.ok ? kOkButton : kCancelButton)->click();
    }
    EXPECT_FALSE(FolderExists("Photos"));
    std::string only;
    ASSERT_TRUE(EnumFolderName(0, only));
    EXPECT_EQ(only, "PICTURES");
    EXPECT_FALSE(EnumFolderName(1, only)) << "one folder, under one name";
    SharedFolder moved;
    ASSERT_TRUE(ReadSharedFolder("PICTURES", moved));
    EXPECT_EQ(moved.description, photos.description);
    EXPECT_EQ(moved.location, photos.location);
    EXPECT_EQ(moved.canBrowseSubfolders, photos.canBrowseSubfolders);
    EXPECT_EQ(moved.canPostFiles, photos.canPostFiles);
    EXPECT_EQ(moved.visible, photos.visible);
    EXPECT_EQ(moved.zipDownload, photos.zipDownload);
    EXPECT_EQ(moved.followLinks, photos.followLinks);
}

TEST_F(DialogTest, FolderOkWithoutChangesRewritesTheSameValues) {
    ASSERT_TRUE(CreateKey(Hive::CurrentUser, std::string(kFoldersKey) + "\\Bare"));
    ASSERT_TRUE(SetFolderLocation("Bare", "/srv/bare"));
    FolderPropertyDialog dialog(nullptr, QStringLiteral("Bare"), ChooserGiving({}));
    Child<QPushButton>(&dialog, kOkButton)->click();
    uint32_t visible = 0;
    EXPECT_TRUE(ReadNumber(Hive::CurrentUser, std::string(kFoldersKey) + "\\Bare", "Visible", visible));
    EXPECT_EQ(visible, 1u) << "the defaults are now stored values";
    EXPECT_TRUE(IsFolderVisible("Bare"));
    EXPECT_FALSE(FollowsLinks("Bare"));
}

TEST_F(DialogTest, ThumbnailBoxWithoutTheToolIsClearedAgainAndTheOwnerAsked) {
    FolderPropertyDialog dialog(nullptr, QString(), ChooserGiving({}));
    QString asked;
    WhenModalOpens([&asked](QWidget* box) {
        asked = static_cast<QMessageBox*>(box)->text();
        static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
    });
    Child<QCheckBox>(&dialog, kCreateThumbnails)->setChecked(true);
    EXPECT_FALSE(Child<QCheckBox>(&dialog, kCreateThumbnails)->isChecked());
    EXPECT_TRUE(asked.startsWith(QStringLiteral("Pictorn can not be found in the folder of Sarvo.\n\n")))
        << asked.toStdString();
}

TEST(FolderBrowseStart, IsTheParentOfTheLastFolderWithTheRootKeptWhole) {
    const struct {
        const char* last;
        const char* start;
    } cases[] = {{"/home/owner/Music", "/home/owner"},
                 {"/music", "/"},
                 {"/", "/"},
                 {"", ""},
                 {"relative", "relative"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.last);
        EXPECT_EQ(ParentOfLastFolder(QString::fromUtf8(c.last)), QString::fromUtf8(c.start));
    }
}

}  // namespace
}  // namespace sarvo::ui::test
