#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QWidget>

#include "support/TempFolder.h"
#include "ui/BringWindowToFront.h"
#include "ui/BrowseForFolder.h"
#include "ui/WindowFixture.h"

namespace {

TEST(ShellDialogs, BrowseStartsAtTheGivenFolderAndReturnsTheChosenOne) {
    sarvo::test::TempFolder folders;
    folders.WriteFile("start/keep", "");
    folders.WriteFile("chosen/keep", "");
    std::string path = folders.Child("start");
    QString openedAt;
    sarvo::test::AnswerNextFolderDialog(&openedAt, QString::fromStdString(folders.Child("chosen")));
    EXPECT_TRUE(BrowseForFolder(nullptr, path));
    EXPECT_EQ(openedAt.toStdString(), folders.Child("start"));
    EXPECT_EQ(path, folders.Child("chosen"));
}

TEST(ShellDialogs, BrowseFromAMissingFolderStartsAtHomeAndCancelKeepsThePath) {
    std::string path = "/no/such/folder";
    QString openedAt;
    sarvo::test::AnswerNextFolderDialog(&openedAt, QString());
    EXPECT_FALSE(BrowseForFolder(nullptr, path));
    EXPECT_EQ(openedAt, QDir::homePath());
    EXPECT_EQ(path, "/no/such/folder");
}

TEST(ShellDialogs, HiddenOrMinimizedWindowComesBack) {
    QWidget hidden;
    BringWindowToFront(&hidden);
    EXPECT_TRUE(hidden.isVisible());

    QWidget minimized;
    minimized.showMinimized();
    QApplication::processEvents();
    BringWindowToFront(&minimized);
    QApplication::processEvents();
    EXPECT_TRUE(minimized.isVisible());
    EXPECT_FALSE(minimized.windowState() & Qt::WindowMinimized);
}

}  // namespace
