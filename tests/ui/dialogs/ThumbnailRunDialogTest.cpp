#include "ui/dialogs/ThumbnailRunDialog.h"

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

#include "DialogTestSupport.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/FolderPropertyDialog.h"

namespace sarvo::ui::test {
namespace {

const QString kPictorn = QStringLiteral(PICTORN_PATH);
constexpr char kIndexName[] = "pixindex.$$$";

void WritePictures(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 40 % 360, 200, 200));
        ASSERT_TRUE(picture.save(QString::fromStdString(folder + "/picture" + std::to_string(i) + ".png")));
    }
}

TEST(PictureCount, TheLastCountOfTheLiveLineIsTaken) {
    EXPECT_FALSE(LastPictureCount(QString()));
    EXPECT_FALSE(LastPictureCount(QStringLiteral("pictorn: skipped /a/b.jpg: not a picture\n")));
    const std::optional<PictureCount> count = LastPictureCount(
        QStringLiteral("\r\x1b[K0/12 pictures  0.0/s  /srv/a\r\x1b[K7/12 pictures  3.5/s  /srv/a"));
    ASSERT_TRUE(count);
    EXPECT_EQ(count->done, 7);
    EXPECT_EQ(count->total, 12);
}

TEST_F(DialogTest, ThumbnailRunShowsTheToolsCountAndEndsWithIt) {
    WritePictures(m_home.Path(), 3);
    ThumbnailRunDialog run(nullptr, kPictorn, QString::fromStdString(m_home.Path()), false);
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(run.Count().done, 3);
    EXPECT_EQ(run.Count().total, 3);
    EXPECT_TRUE(std::filesystem::is_regular_file(m_home.Child(kIndexName)));

    ThumbnailRunDialog missing(nullptr, QStringLiteral("/nonexistent/pictorn"),
                               QString::fromStdString(m_home.Path()), false);
    EXPECT_FALSE(missing.Run()) << "a failed start returns at once";
}

TEST_F(DialogTest, FolderOkWithThumbnailsRunsTheToolOverTheStoredLocation) {
    const std::string photos = m_home.Child("photos");
    std::filesystem::create_directories(photos + "/2026");
    WritePictures(photos + "/2026", 2);
    FolderPropertyTools tools;
    tools.thumbnailTool = kPictorn;
    FolderPropertyDialog dialog(nullptr, QString(), tools);
    Child<QLineEdit>(&dialog, kLocationLabel)->setText(QString::fromStdString(photos));
    TypeInto(Child<QLineEdit>(&dialog, kNameLabel), QStringLiteral("Photos"));
    Child<QCheckBox>(&dialog, kCreateThumbnails)->setChecked(true);
    ASSERT_TRUE(Child<QCheckBox>(&dialog, kCreateThumbnails)->isChecked());
    Child<QPushButton>(&dialog, kOkButton)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(std::filesystem::is_regular_file(photos + "/2026/" + kIndexName))
        << "sub-folders were allowed";
}

TEST_F(DialogTest, ThumbnailCancelEndsTheToolAndWaitsForIt) {
    // A stand-in that reports one of five pictures and takes a while to stop, as the tool does when it
    // finishes the picture at hand.
    const std::string tool = m_home.WriteFile("slow-tool",
                                              "#!/bin/sh\n"
                                              "trap 'sleep 0.3; echo > \"$1/ended\"; exit 130' TERM\n"
                                              "printf '\\r\\033[K1/5 pictures  0.0/s  %s' \"$1\" >&2\n"
                                              "i=0; while [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n"
                                              "echo > \"$1/finished\"\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    ThumbnailRunDialog run(nullptr, QString::fromStdString(tool), QString::fromStdString(m_home.Path()),
                           false);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&run] {
        if (run.Count().done == 1)
            Child<QPushButton>(&run, kCancelButton)->click();
    });
    poll.start(20);
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(run.Count().total, 5);
    EXPECT_TRUE(std::filesystem::exists(m_home.Child("ended"))) << "the dialog ended only after the tool";
    EXPECT_FALSE(std::filesystem::exists(m_home.Child("finished")));
}

}  // namespace
}  // namespace sarvo::ui::test
