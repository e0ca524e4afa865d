#include "ui/dialogs/DynamicFilePropertyDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "DialogTestSupport.h"
#include "store/PublishedFiles.h"
#include "ui/dialogs/DialogTexts.h"

namespace sarvo::ui::test {
namespace {

PublishedFileRecord Record(const char* path, const char* pattern, uint32_t realTime, uint32_t useNewest) {
    PublishedFileRecord record;
    record.path = path;
    record.searchPattern = pattern;
    record.realTime = realTime;
    record.useNewest = useNewest;
    return record;
}

TEST_F(DialogTest, DynamicFilePatternStartsFromTheStoredPatternOrTheFilesExtension) {
    const struct {
        const char* path;
        const char* pattern;
        uint32_t useNewest;
        const char* shown;
    } cases[] = {{"/var/log/server.log", "", 0, "*.log"},
                 {"/var/log/server.log", "access-*.log", 1, "access-*.log"},
                 {"/var/log/server.log", "access-*.log", 0, "*.log"},
                 {"/home/owner/README", "", 0, ""},
                 {"/home/owner.name/notes/README", "", 0, ""},
                 {"/srv/archive.tar.gz", "", 0, "*.gz"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(SetPublishedFile("entry", Record(c.path, c.pattern, 0, c.useNewest)));
        DynamicFilePropertyDialog dialog(nullptr, QStringLiteral("entry"));
        EXPECT_EQ(Child<QLineEdit>(&dialog, kSearchPatternField)->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(Child<QLineEdit>(&dialog, kSearchPatternField)->isEnabled(), c.useNewest != 0);
        EXPECT_EQ(Child<QLineEdit>(&dialog, kFilePathLabel)->text(), QString::fromUtf8(c.path));
        EXPECT_EQ(Child<QLineEdit>(&dialog, kDisplayNameLabel)->text(), QStringLiteral("entry"));
    }
}

TEST_F(DialogTest, DynamicFileOkStoresFlagsAndTrimmedPatternAndCancelNothing) {
    ASSERT_TRUE(SetPublishedFile("today.log", Record("/var/log/today.log", "old-*.log", 0, 0)));
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        DynamicFilePropertyDialog dialog(nullptr, QStringLiteral("today.log"));
        EXPECT_FALSE(Child<QCheckBox>(&dialog, kRealTimeFile)->isChecked());
        Child<QCheckBox>(&dialog, kRealTimeFile)->setChecked(true);
        Child<QCheckBox>(&dialog, kUseNewestFile)->setChecked(true);
        TypeInto(Child<QLineEdit>(&dialog, kSearchPatternField), QStringLiteral("  day-*.log "));
        Child<QPushButton>(&dialog, ok ? kOkButton : kCancelButton)->click();
    }
    std::optional<PublishedFileRecord> stored = GetPublishedFile("today.log");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->realTime, 1u);
    EXPECT_EQ(stored->useNewest, 1u);
    EXPECT_EQ(stored->searchPattern, "day-*.log");
    EXPECT_EQ(stored->path, "/var/log/today.log");
}

TEST_F(DialogTest, DynamicFileWithoutNewestKeepsTheStoredPatternAndAMissingEntryStoresNothing) {
    ASSERT_TRUE(SetPublishedFile("a.txt", Record("/srv/a.txt", "keep-*.txt", 1, 1)));
    DynamicFilePropertyDialog dialog(nullptr, QStringLiteral("a.txt"));
    Child<QCheckBox>(&dialog, kUseNewestFile)->setChecked(false);
    TypeInto(Child<QLineEdit>(&dialog, kSearchPatternField), QStringLiteral("ignored"));
    Child<QPushButton>(&dialog, kOkButton)->click();
    std::optional<PublishedFileRecord> stored = GetPublishedFile("a.txt");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->useNewest, 0u);
    EXPECT_EQ(stored->searchPattern, "keep-*.txt");

    DynamicFilePropertyDialog missing(nullptr, QStringLiteral("gone.txt"));
    EXPECT_EQ(Child<QLineEdit>(&missing, kFilePathLabel)->text(), QString());
    Child<QCheckBox>(&missing, kRealTimeFile)->setChecked(true);
    Child<QPushButton>(&missing, kOkButton)->click();
    EXPECT_FALSE(GetPublishedFile("gone.txt"));
}

}  // namespace
}  // namespace sarvo::ui::test
