#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include <filesystem>
#include <fstream>
#include <memory>

#include "server/RequestHandlers.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "ui/Commands.h"
#include "ui/FilesListView.h"
#include "ui/FoldersListView.h"
#include "ui/UiTexts.h"
#include "ui/WindowFixture.h"

namespace sarvo::ui {
namespace {

constexpr char kBase[] = "http://127.0.0.1:8080/";

struct MenuItem {
    bool enabled;
    bool checked;
};

MenuItem ItemOf(QMenu* menu, const char* text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == QLatin1String(text))
            return {action->isEnabled(), action->isChecked()};
    }
    ADD_FAILURE() << "no menu item " << text;
    return {};
}

void Touch(const std::string& path, const std::string& content = "x") {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << content;
}

class FoldersFilesPanelTest : public ::testing::Test {
protected:
    FoldersFilesPanelTest() : m_folders(m_files) {}

    void SelectFolder(const QString& text) {
        EXPECT_TRUE(test::SelectFolderRow(m_folders, text)) << qPrintable(text);
        m_folders.RefillFiles();
    }

    QStringList FileNames() {
        QStringList names;
        for (int row = 0; row < m_files.Model().rowCount(); ++row)
            names.append(m_files.Model().Row(row).displayName);
        return names;
    }

    void SelectFile(int row) {
        m_files.selectionModel()->setCurrentIndex(
            m_files.Model().index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    test::WindowHome m_home;
    FilesListView m_files;
    FoldersListView m_folders;
};

TEST_F(FoldersFilesPanelTest, FolderRowPicturesFollowTheirSettings) {
    for (int bits = 0; bits < 16; ++bits) {
        const bool subfolders = bits & 1, post = bits & 2, visible = bits & 4, zip = bits & 8;
        SCOPED_TRACE(testing::Message() << "subfolders " << subfolders << " post " << post << " visible "
                                        << visible << " zip " << zip);
        m_home.ShareFolder("Share", subfolders, post, visible, zip);
        const FolderRowImages images = ImagesOfFolderRow(QStringLiteral("Share"));
        EXPECT_EQ(KindOfFolderRow(QStringLiteral("share")),
                  subfolders ? FolderRowKind::FolderWithSubfolders : FolderRowKind::Folder);
        EXPECT_EQ(images.image, (subfolders ? 1 : 0) + (post ? 2 : 0));
        EXPECT_EQ(images.state, 1 + (visible ? 1 : 0) + (zip ? 2 : 0));
    }

    for (bool visible : {false, true}) {
        SetDynamicFolderVisible(visible);
        const FolderRowImages images = ImagesOfFolderRow(QStringLiteral("dynamic files"));
        EXPECT_EQ(images.image, 4);
        EXPECT_EQ(images.state, visible ? 2 : 1);
    }

    static bool chatOpen = false;
    SetChatRoomQueries([] { return chatOpen; }, [] { return false; });
    for (bool open : {false, true}) {
        chatOpen = open;
        const FolderRowImages images = ImagesOfFolderRow(QStringLiteral("Webchat"));
        EXPECT_EQ(images.image, 6);
        EXPECT_EQ(images.state, open ? 6 : 5);
    }
    SetChatRoomQueries(nullptr, nullptr);

    struct Community {
        bool host, member;
        int state;
    };
    for (const Community& each : {Community{false, false, 7}, Community{true, false, 8},
                                  Community{false, true, 9}, Community{true, true, 10}}) {
        SetWebCommHost(each.host);
        SetWebCommMember(each.member);
        const FolderRowImages images = ImagesOfFolderRow(QStringLiteral("WebCommunity"));
        EXPECT_EQ(images.image, 5);
        EXPECT_EQ(images.state, each.state);
    }
}

TEST_F(FoldersFilesPanelTest, FolderListingWithAndWithoutSubfolders) {
    for (bool subfolders : {false, true}) {
        SCOPED_TRACE(subfolders ? "with sub-folders" : "without sub-folders");
        const std::string location = m_home.ShareFolder("Share", subfolders);
        Touch(location + "/a.txt");
        Touch(location + "/.profile");
        Touch(location + "/Sub/inner.txt");
        Touch(location + "/.cache/hidden.txt");
        m_folders.Model().Fill();
        SelectFolder(QStringLiteral("Share"));

        QStringList names = FileNames();
        if (!subfolders) {
            names.sort();
            EXPECT_EQ(names, (QStringList{QStringLiteral(".profile"), QStringLiteral("a.txt")}));
            continue;
        }
        ASSERT_EQ(names.size(), 3);
        EXPECT_EQ(names.front(), QStringLiteral("Sub")) << "directories come first, hidden ones not at all";
        EXPECT_EQ(m_files.Model().UrlOfRow(0, kBase), "http://127.0.0.1:8080/Share/Sub/");

        // Down into Sub: the parent row leads back up.
        SelectFile(0);
        emit m_files.doubleClicked(m_files.Model().index(0, 0));
        EXPECT_EQ(FileNames(),
                  (QStringList{QString::fromLatin1(kParentRowName), QStringLiteral("inner.txt")}));
        EXPECT_EQ(m_files.Model().UrlOfRow(1, kBase), "http://127.0.0.1:8080/Share/Sub/inner.txt");
        EXPECT_EQ(m_files.Model().UrlOfRow(0, kBase), "http://127.0.0.1:8080/Share/");

        // The same folder selected again keeps the opened sub-folder.
        SelectFolder(QStringLiteral("Share"));
        EXPECT_EQ(FileNames().size(), 2);
    }
}

TEST_F(FoldersFilesPanelTest, SortingKeepsTheParentRowFirstAndDirectoriesBeforeFiles) {
    const std::string location = m_home.ShareFolder("Share", true);
    Touch(location + "/Sub/big.bin", std::string(3000, 'x'));
    Touch(location + "/Sub/small.bin", "x");
    Touch(location + "/Sub/Deeper/z.txt");
    m_folders.Model().Fill();
    SelectFolder(QStringLiteral("Share"));
    SelectFile(0);
    emit m_files.doubleClicked(m_files.Model().index(0, 0));
    ASSERT_EQ(m_files.Model().rowCount(), 4);

    for (int column : {kFileName, kFileType, kFileSize, kFileTime, kFileSize}) {
        SCOPED_TRACE(testing::Message()
                     << "column " << column << " ascending " << !m_files.Model().Ascending());
        m_files.Model().SortByColumn(column);
        EXPECT_EQ(m_files.Model().Row(0).displayName, QString::fromLatin1(kParentRowName));
        if (column == kFileSize) {
            EXPECT_EQ(m_files.Model().Row(1).displayName, QStringLiteral("Deeper"));
            const bool ascending = m_files.Model().Ascending();
            EXPECT_EQ(m_files.Model().Row(2).displayName,
                      ascending ? QStringLiteral("small.bin") : QStringLiteral("big.bin"));
        }
    }
}

TEST_F(FoldersFilesPanelTest, PublishedFilesWhoseTargetsAreGoneLeaveTheStore) {
    const std::string a = m_home.Home().WriteFile("files/a.txt", "a");
    const std::string b = m_home.Home().WriteFile("files/b.txt", "b");
    const std::string c = m_home.Home().WriteFile("files/c.txt", "c");
    for (const std::string& path : {a, b, c})
        ASSERT_TRUE(PublishFile(path));
    std::filesystem::remove(a);
    std::filesystem::remove(b);
    SelectFolder(QString::fromLatin1(kTextDynamicFiles));
    EXPECT_EQ(FileNames(), QStringList{QStringLiteral("c.txt")});
    EXPECT_FALSE(GetPublishedFile("a.txt"));
    EXPECT_FALSE(GetPublishedFile("b.txt"));
    EXPECT_TRUE(GetPublishedFile("c.txt"));
}

TEST_F(FoldersFilesPanelTest, AddAndRemoveFilesReachTheStore) {
    SelectFolder(QString::fromLatin1(kTextDynamicFiles));
    const std::string first = m_home.Home().WriteFile("one/notes.txt", "1");
    const std::string second = m_home.Home().WriteFile("two/notes.txt", "2");
    m_files.AddFiles({QString::fromStdString(first), QString::fromStdString(second)});

    ASSERT_EQ(m_files.Model().rowCount(), 2);
    EXPECT_EQ(m_files.Model().Row(1).linkName, "notes[1].txt");
    EXPECT_EQ(GetPublishedFile("notes[1].txt")->path, second);
    const QModelIndexList selected = m_files.selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().row(), 1);
    EXPECT_EQ(m_files.UrlOfSelection(kBase), "http://127.0.0.1:8080/notes[1].txt");

    m_files.selectAll();
    m_files.RunCommand(CMD_REMOVE_FILES);
    EXPECT_EQ(m_files.Model().rowCount(), 0);
    EXPECT_FALSE(EnumPublishedFile(0));
}

TEST_F(FoldersFilesPanelTest, RemoveFoldersAsksFirst) {
    m_home.ShareFolder("Keep");
    m_home.ShareFolder("Drop");
    m_folders.Model().Fill();
    for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        SelectFolder(QStringLiteral("Drop"));
        QString asked;
        test::AnswerNextMessageBox(answer, &asked);
        m_folders.RunCommand(CMD_REMOVE_FOLDERS);
        EXPECT_EQ(asked, QString::fromLatin1(kTextRemoveFolders));
        EXPECT_EQ(FolderExists("Drop"), answer == QMessageBox::No);
    }
    EXPECT_TRUE(FolderExists("Keep"));
    EXPECT_EQ(m_folders.Model().rowCount(), 4);
    EXPECT_EQ(m_folders.Model().Text(3), QStringLiteral("Keep"));
}

TEST_F(FoldersFilesPanelTest, MenusFollowTheirEnableRules) {
    m_home.ShareFolder("Share");
    m_folders.Model().Fill();

    // Nothing selected: the folder menu, with the selection's items greyed.
    std::unique_ptr<QMenu> menu = m_folders.CreateContextMenu();
    EXPECT_FALSE(ItemOf(menu.get(), kMenuRemoveFolders).enabled);
    EXPECT_FALSE(ItemOf(menu.get(), kMenuStartExplorer).enabled);
    EXPECT_FALSE(ItemOf(menu.get(), kMenuFolderProperty).enabled);
    SelectFolder(QStringLiteral("Share"));
    menu = m_folders.CreateContextMenu();
    EXPECT_TRUE(ItemOf(menu.get(), kMenuRemoveFolders).enabled);
    EXPECT_TRUE(ItemOf(menu.get(), kMenuStartExplorer).enabled);
    EXPECT_FALSE(m_files.CreateContextMenu(-1)) << "no files menu inside a folder";

    // Dynamic Files: "Allow list files" shows the setting and flips it.
    SelectFolder(QString::fromLatin1(kTextDynamicFiles));
    for (bool visible : {true, false}) {
        SetDynamicFolderVisible(visible);
        menu = m_folders.CreateContextMenu();
        EXPECT_TRUE(ItemOf(menu.get(), kMenuAddFiles).enabled);
        EXPECT_EQ(ItemOf(menu.get(), kMenuAllowListFiles).checked, visible);
        m_folders.RunCommand(CMD_ALLOW_LIST_FILES);
        EXPECT_EQ(IsDynamicFolderVisible(), !visible);
    }

    // The files menu: removal needs a selection.
    menu = m_files.CreateContextMenu(-1);
    ASSERT_TRUE(menu);
    EXPECT_TRUE(ItemOf(menu.get(), kMenuAddFiles).enabled);
    EXPECT_FALSE(ItemOf(menu.get(), kMenuRemoveFiles).enabled);
    m_files.AddFiles({QString::fromStdString(m_home.Home().WriteFile("f.txt", "f"))});
    menu = m_files.CreateContextMenu(0);
    EXPECT_TRUE(ItemOf(menu.get(), kMenuRemoveFiles).enabled);

    // The chat room's start and stop wait for a running server.
    SelectFolder(QString::fromLatin1(kTextWebchat));
    menu = m_folders.CreateContextMenu();
    EXPECT_FALSE(ItemOf(menu.get(), kMenuStartWebchat).enabled);
    EXPECT_FALSE(ItemOf(menu.get(), kMenuStopWebchat).enabled);
}

}  // namespace
}  // namespace sarvo::ui
