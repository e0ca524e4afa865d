#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <memory>

#include "server/HttpServer.h"
#include "server/LocalClient.h"
#include "services/ChatClient.h"
#include "services/Webchat.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "ui/ClientsListView.h"
#include "ui/FilesListView.h"
#include "ui/FoldersListView.h"
#include "ui/MainWindow.h"
#include "ui/OwnerDialogTools.h"
#include "ui/UiTexts.h"
#include "ui/WindowFixture.h"
#include "ui/dialogs/ReportList.h"

namespace sarvo::ui {
namespace {

using test::WaitFor;

// Runs open, which shows modal dialogs at once or from the event loop, while a timer hands the modal on
// top to act every 20 ms, until one has been seen and none is left; gives the captions of the modal
// dialogs seen among the top-level windows. After ten seconds every modal is rejected, so that a dialog
// act does not close fails the test rather than hanging it.
QStringList WithModals(const std::function<void()>& open, const std::function<void(QDialog&)>& act) {
    QStringList seen;
    QTimer poll;
    const QDeadlineTimer deadline(10000);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<QDialog*>(window) && window->isModal() && window->isVisible() &&
                !seen.contains(window->windowTitle()))
                seen.append(window->windowTitle());
        }
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal)
            return;
        if (deadline.hasExpired())
            modal->reject();
        else
            act(*modal);
    });
    poll.start(20);
    open();
    WaitFor([&] { return !seen.isEmpty() && !QApplication::activeModalWidget(); }, 12000);
    return seen;
}

void Reject(QDialog& dialog) {
    dialog.reject();
}

void PressOk(QDialog& dialog) {
    auto* ok = dialog.findChild<QPushButton*>(QString::fromLatin1(kOkButton));
    if (ok && ok->isEnabled())
        ok->click();
}

// The command of the menu's item, which must be enabled; 0 when it is not there.
uint32_t CommandOf(const std::unique_ptr<QMenu>& menu, const char* text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == QLatin1String(text)) {
            EXPECT_TRUE(action->isEnabled()) << text << " is greyed";
            return action->data().toUInt();
        }
    }
    ADD_FAILURE() << "no menu item " << text;
    return 0;
}

// Takes the addresses the window hands to the desktop's browser.
class BrowserStandIn : public QObject {
    Q_OBJECT
public:
    BrowserStandIn() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open"); }
    ~BrowserStandIn() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }

    QStringList opened;

public slots:
    void Open(const QUrl& url) { opened.append(url.toString()); }
};

class WindowDialogsTest : public ::testing::Test {
protected:
    WindowDialogsTest() {
        m_home.ShareFolder("Share");
        PublishFile(m_home.Home().WriteFile("files/notes.txt", "notes"));
        Folders().Model().Fill();
    }

    FoldersListView& Folders() { return m_window.Folders(); }

    void SelectFolder(const QString& text) {
        EXPECT_TRUE(test::SelectFolderRow(Folders(), text)) << qPrintable(text);
        Folders().RefillFiles();
    }

    void RunFolderMenu(const QString& selected, const char* item) {
        SelectFolder(selected);
        Folders().RunCommand(CommandOf(Folders().CreateContextMenu(), item));
    }

    void TearDown() override {
        StopChatRoom();
        WaitForChatRoom();
        StopServer();
        WaitForServerThread();
    }

    test::WindowHome m_home;
    MainWindow m_window;
};

TEST_F(WindowDialogsTest, EachButtonAndMenuItemOpensItsDialog) {
    // WebSite Property's "Guestbook..." opens its dialog over it; the click comes from the event loop,
    // as one inside the timer's call would hold the timer until the guestbook closes.
    bool guestbookAsked = false;
    const auto openGuestbook = [&](QDialog& dialog) {
        if (dialog.windowTitle() != QLatin1String(kWebSitePropertyCaption) || guestbookAsked)
            return dialog.reject();
        guestbookAsked = true;
        QTimer::singleShot(0, dialog.findChild<QPushButton*>(QString::fromLatin1(kGuestbookButton)),
                           &QPushButton::click);
    };
    const auto serverProperty = [&] {
        m_window.findChild<QPushButton*>(QString::fromLatin1(kButtonServerProperty))->click();
    };
    struct Door {
        const char* name;
        std::function<void()> open;
        const char* caption;
        std::function<void(QDialog&)> act = Reject;
    };
    const Door doors[] = {
        {kButtonServerProperty, serverProperty, kWebSitePropertyCaption},
        {kGuestbookButton, serverProperty, kGuestbookCaption, openGuestbook},
        {kMenuAddFolder, [&] { RunFolderMenu(QStringLiteral("Share"), kMenuAddFolder); },
         kFolderPropertyCaption},
        {kMenuFolderProperty, [&] { RunFolderMenu(QStringLiteral("Share"), kMenuFolderProperty); },
         kFolderPropertyCaption},
        {kMenuFileProperty,
         [&] {
             SelectFolder(QString::fromLatin1(kTextDynamicFiles));
             FilesListView& files = m_window.Files();
             files.selectionModel()->setCurrentIndex(
                 files.Model().index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
             files.RunCommand(CommandOf(files.CreateContextMenu(0), kMenuFileProperty));
         },
         kDynamicFilePropertyCaption},
        {kMenuOpenLogbook,
         [&] {
             m_window.Clients().RunCommand(
                 CommandOf(m_window.Clients().CreateContextMenu(), kMenuOpenLogbook));
         },
         kLogbookCaption},
        {kMenuManageWebchat, [&] { RunFolderMenu(QString::fromLatin1(kTextWebchat), kMenuManageWebchat); },
         kWebchatManagementCaption},
        {kMenuAsHost, [&] { RunFolderMenu(QString::fromLatin1(kTextWebCommunity), kMenuAsHost); },
         kCommunityHostCaption},
        {kMenuAsMember, [&] { RunFolderMenu(QString::fromLatin1(kTextWebCommunity), kMenuAsMember); },
         kCommunityMemberCaption},
    };
    for (const Door& door : doors) {
        SCOPED_TRACE(door.name);
        const QStringList seen = WithModals(door.open, door.act);
        EXPECT_TRUE(seen.contains(QString::fromLatin1(door.caption))) << qPrintable(seen.join(", "));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    EXPECT_EQ(Folders().Model().rowCount(), 4) << "Cancel adds no row";
}

// The owner hosts the room: OK opens it and hands the chat page to the browser; Stop closes it.
TEST_F(WindowDialogsTest, StartWebchatOpensTheRoomAndItsPageAndStopClosesIt) {
    BrowserStandIn browser;
    ASSERT_TRUE(test::StartThroughButton(m_window));
    const QStringList seen =
        WithModals([&] { RunFolderMenu(QString::fromLatin1(kTextWebchat), kMenuStartWebchat); }, PressOk);
    EXPECT_TRUE(seen.contains(QString::fromLatin1(kStartWebchatCaption)));
    EXPECT_TRUE(IsChatRoomOpen());
    ASSERT_TRUE(WaitFor([&] { return !browser.opened.isEmpty(); }));
    EXPECT_EQ(browser.opened, QStringList{QString::fromStdString(ServerUrl()) + QStringLiteral("WebChat/")});
    EXPECT_EQ(ImagesOfFolderRow(QString::fromLatin1(kTextWebchat)).state, 6) << "the open room's picture";

    RunFolderMenu(QString::fromLatin1(kTextWebchat), kMenuStopWebchat);
    EXPECT_TRUE(WaitFor([] { return !IsChatRoomOpen(); }));
}

// The room answers a disconnect on the channel the window owns; the window hands the answer on to the
// open dialog, which only then refills its list.
TEST_F(WindowDialogsTest, WebchatManagementHearsTheRoomThroughTheWindow) {
    ASSERT_TRUE(test::StartThroughButton(m_window));
    ASSERT_TRUE(StartChatRoom(kDefaultChatMembers));
    SetLocalClientRule(LocalClientRule::TreatAllAsRemote);  // the owner disconnects only guests
    test::ChatClient guest(m_home.Port(), NewChatMemberId());
    const bool joined = guest.Joined();
    SetLocalClientRule(LocalClientRule::Recognize);
    ASSERT_TRUE(joined);

    bool asked = false;
    bool refilled = false;
    WithModals([&] { RunFolderMenu(QString::fromLatin1(kTextWebchat), kMenuManageWebchat); },
               [&](QDialog& dialog) {
                   auto* members = dialog.findChild<ReportList*>(QString::fromLatin1(kChatRoomMembers));
                   if (!asked && members->Model().rowCount() == 1) {
                       members->SelectOnly(0);
                       dialog.findChild<QPushButton*>(QString::fromLatin1(kDisconnectButton))->click();
                       asked = true;
                   } else if (asked && members->Model().rowCount() == 0) {
                       refilled = true;
                       dialog.reject();
                   }
               });
    EXPECT_TRUE(asked);
    EXPECT_TRUE(refilled);
    EXPECT_TRUE(guest.WaitForClose());
}

TEST_F(WindowDialogsTest, AddAFolderAddsItsRowAndFolderPropertyRenamesIt) {
    const std::string location = m_home.Home().Child("Holiday");
    std::filesystem::create_directories(location);
    // The chooser opens by itself for a new folder; its folder names the new folder.
    WithModals([&] { RunFolderMenu(QStringLiteral("Share"), kMenuAddFolder); },
               [&](QDialog& dialog) {
                   if (auto* chooser = qobject_cast<QFileDialog*>(&dialog)) {
                       chooser->setDirectory(QString::fromStdString(location));
                       dialog.accept();
                       return;
                   }
                   PressOk(dialog);
               });
    ASSERT_EQ(Folders().Model().rowCount(), 5);
    EXPECT_EQ(Folders().Model().Text(4), QStringLiteral("Holiday"));
    std::string stored;
    ASSERT_TRUE(GetFolderLocation("Holiday", stored));
    EXPECT_EQ(std::filesystem::path(stored), std::filesystem::path(location));
    EXPECT_TRUE(Folders().selectionModel()->isRowSelected(4, {}));
    EXPECT_TRUE(WaitFor([&] { return m_window.Files().Model().FolderName() == "Holiday"; }));

    WithModals([&] { RunFolderMenu(QStringLiteral("Holiday"), kMenuFolderProperty); },
               [&](QDialog& dialog) {
                   auto* name = dialog.findChild<QLineEdit*>(QString::fromLatin1(kNameLabel));
                   if (name && name->text() != QStringLiteral("Trip"))
                       name->setText(QStringLiteral("Trip"));
                   PressOk(dialog);
               });
    EXPECT_EQ(Folders().Model().rowCount(), 5);
    EXPECT_EQ(Folders().Model().Text(4), QStringLiteral("Trip"));
    EXPECT_FALSE(FolderExists("Holiday"));
    EXPECT_TRUE(FolderExists("Trip"));
    EXPECT_EQ(m_window.Files().Model().FolderName(), "Trip");
}

// The tests run from the build tree, where the tool is not beside the program.
TEST(ThumbnailToolPathTest, ProgramInTheBuildTreeFindsTheBuiltTool) {
    const QFileInfo tool(ThumbnailToolPath());
    EXPECT_TRUE(tool.isExecutable()) << qPrintable(tool.filePath());
    EXPECT_EQ(tool.fileName(), QStringLiteral("pictorn"));
}

}  // namespace
}  // namespace sarvo::ui

#include "WindowDialogsTest.moc"
