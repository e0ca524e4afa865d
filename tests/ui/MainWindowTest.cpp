#include "ui/MainWindow.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include "common/Format.h"
#include "platform/Notification.h"
#include "server/HttpServer.h"
#include "store/SiteSettings.h"
#include "ui/Commands.h"
#include "ui/FilesListView.h"
#include "ui/FoldersListView.h"
#include "ui/QrCodeDialog.h"
#include "ui/SingleInstance.h"
#include "ui/UiTexts.h"
#include "ui/WindowFixture.h"

namespace sarvo::ui {
namespace {

using test::AnswerNextMessageBox;
using test::StartThroughButton;
using test::StopThroughButton;
using test::WaitFor;

sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool PortIsFree(uint16_t port) {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = LoopbackAddress(port);
    const bool free = ::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return free;
}

class MainWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        StopServer();
        WaitForServerThread();
    }

    QPushButton* Button(const char* name) {
        return m_window.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QString Status() { return m_window.findChild<QLabel*>(QString::fromLatin1(kStatusLineName))->text(); }
    QString BaseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_home.Port()); }

    test::WindowHome m_home;
    MainWindow m_window;
};

TEST_F(MainWindowTest, StartAndStopThroughTheButton) {
    EXPECT_EQ(Status(), QString::fromLatin1(kTextServerNotWorking));
    EXPECT_FALSE(Button(kButtonCopy)->isEnabled());

    ASSERT_TRUE(StartThroughButton(m_window));
    EXPECT_TRUE(IsServerRunning());
    EXPECT_TRUE(Button(kButtonStartServer)->isChecked());
    EXPECT_EQ(Status(), QStringLiteral("Server is working on port %1").arg(m_home.Port()));
    const QLabel* status = m_window.findChild<QLabel*>(QString::fromLatin1(kStatusLineName));
    EXPECT_EQ(status->palette().color(QPalette::Window), QColor(0, 0, 128));
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(m_window.UrlText(), BaseUrl());
    EXPECT_TRUE(Button(kButtonCopy)->isEnabled());
    EXPECT_TRUE(Button(kButtonOpen)->isEnabled());

    // Declined: the button goes back down and the server keeps running.
    QString asked;
    AnswerNextMessageBox(QMessageBox::No, &asked);
    Button(kButtonStartServer)->click();
    EXPECT_EQ(asked, QStringLiteral("This will stop your web server\nAre you sure?"));
    EXPECT_TRUE(Button(kButtonStartServer)->isChecked());
    EXPECT_TRUE(IsServerRunning());
    EXPECT_FALSE(m_window.IsBusy());

    ASSERT_TRUE(StopThroughButton(m_window));
    EXPECT_FALSE(Button(kButtonStartServer)->isChecked());
    EXPECT_EQ(Status(), QString::fromLatin1(kTextServerNotWorking));
    EXPECT_TRUE(m_window.UrlText().isEmpty());
    EXPECT_FALSE(Button(kButtonCopy)->isEnabled());
}

TEST_F(MainWindowTest, ClickWhileStartingIsIgnored) {
    QPushButton* start = Button(kButtonStartServer);
    start->click();
    ASSERT_TRUE(m_window.IsBusy());
    start->click();  // toggles the check state only; no confirmation, no stop
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return !m_window.IsBusy(); }));
    EXPECT_TRUE(IsServerRunning());
    EXPECT_TRUE(start->isChecked());
}

TEST_F(MainWindowTest, BusyPortShowsTheErrorTwice) {
    const int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = LoopbackAddress(m_home.Port());
    ASSERT_EQ(::bind(blocker, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(blocker, 1), 0);

    QString shown;
    AnswerNextMessageBox(QMessageBox::Ok, &shown);
    ASSERT_TRUE(StartThroughButton(m_window));
    ::close(blocker);

    EXPECT_EQ(Status(), QStringLiteral("Server Error: 10048 "));
    EXPECT_EQ(shown,
              QStringLiteral("Failed starting server on port %1. Error = 10048.\n\nPlease click the [Server "
                             "Property] button, change the port number, and try again.")
                  .arg(m_home.Port()));
    EXPECT_FALSE(Button(kButtonStartServer)->isChecked());
    EXPECT_TRUE(m_window.UrlText().isEmpty());
}

TEST_F(MainWindowTest, UrlCarriesThePortOnlyWhenItIsNot80) {
    struct Case {
        uint16_t port;
        const char* url;
    };
    for (const Case& each : {Case{80, "http://127.0.0.1/"}, Case{8080, "http://127.0.0.1:8080/"}}) {
        SCOPED_TRACE(each.port);
        if (!PortIsFree(each.port)) {
            GTEST_LOG_(INFO) << "port " << each.port << " is in use here; case not run";
            continue;
        }
        SetListenPort(each.port);
        ASSERT_TRUE(StartThroughButton(m_window));
        ASSERT_TRUE(IsServerRunning());
        EXPECT_EQ(m_window.UrlText(), QString::fromLatin1(each.url));
        ASSERT_TRUE(StopThroughButton(m_window));
    }
}

// The published name is escaped in the address, and a phone's camera reads the QR code back: zbarimg
// decodes the picture the "QR" button shows.
TEST_F(MainWindowTest, QrButtonShowsTheEscapedAddressAsACameraReadsIt) {
    m_home.ShareFolder("My #1 100%");
    m_window.Folders().Model().Fill();
    EXPECT_FALSE(Button(kButtonQrCode)->isEnabled());
    ASSERT_TRUE(StartThroughButton(m_window));
    ASSERT_TRUE(test::SelectFolderRow(m_window.Folders(), QStringLiteral("My #1 100%")));
    ASSERT_TRUE(WaitFor([&] { return m_window.UrlText() != BaseUrl(); }));
    EXPECT_EQ(m_window.UrlText(), BaseUrl() + QStringLiteral("My%20%231%20100%25/"));

    const QString picture = QString::fromStdString(m_home.Home().Path()) + QStringLiteral("/qr.png");
    bool saved = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QrCodeDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        saved = dialog->findChild<QLabel*>(QStringLiteral("QrCode"))->pixmap().save(picture);
        dialog->reject();
    });
    Button(kButtonQrCode)->click();
    ASSERT_TRUE(saved);

    QProcess reader;
    reader.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), picture});
    ASSERT_TRUE(reader.waitForFinished(10000));
    EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()).trimmed(), m_window.UrlText());
}

TEST_F(MainWindowTest, UrlFollowsTheFocusedListFirst) {
    const std::string location = m_home.ShareFolder("Music", false);
    std::ofstream(location + "/Intro.txt") << "intro";
    m_window.Folders().Model().Fill();
    m_window.show();
    QApplication::setActiveWindow(&m_window);
    ASSERT_TRUE(StartThroughButton(m_window));
    const QString folderUrl = BaseUrl() + QStringLiteral("Music/");
    const QString fileUrl = folderUrl + QStringLiteral("Intro.txt");
    QPushButton* close = Button(kButtonClose);

    // Only the folder selected: its address, whichever control has the focus.
    ASSERT_TRUE(test::SelectFolderRow(m_window.Folders(), QStringLiteral("Music")));
    ASSERT_TRUE(WaitFor([&] { return m_window.Files().Model().rowCount() == 1; }));
    close->setFocus();
    m_window.HandleCommand(CMD_REFRESH_URL);
    EXPECT_EQ(m_window.UrlText(), folderUrl);

    // A file selected too: the file's address unless the folders list has the focus.
    m_window.Files().selectionModel()->setCurrentIndex(
        m_window.Files().Model().index(0, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_window.HandleCommand(CMD_REFRESH_URL);
    EXPECT_EQ(m_window.UrlText(), fileUrl);
    m_window.Folders().setFocus();
    ASSERT_TRUE(WaitFor([&] { return m_window.UrlText() == folderUrl; }));
    m_window.Files().setFocus();
    ASSERT_TRUE(WaitFor([&] { return m_window.UrlText() == fileUrl; }));
}

TEST_F(MainWindowTest, IpButtonOnlyWhileRunningOnAllAddresses) {
    QPushButton* selectIp = Button(kButtonSelectIp);
    m_window.HandleCommand(CMD_UPDATE_CONTROLS);
    EXPECT_FALSE(selectIp->isEnabled()) << "stopped";

    ASSERT_TRUE(StartThroughButton(m_window));
    m_window.HandleCommand(CMD_UPDATE_CONTROLS);
    EXPECT_FALSE(selectIp->isEnabled()) << "running on 127.0.0.1 only";
    ASSERT_TRUE(StopThroughButton(m_window));

    SetListenIp(0);
    ASSERT_TRUE(StartThroughButton(m_window));
    m_window.HandleCommand(CMD_UPDATE_CONTROLS);
    EXPECT_TRUE(selectIp->isEnabled()) << "running on all addresses";
}

TEST_F(MainWindowTest, CloseHidesWhileRunningAndEndsWhileStopped) {
    QSignalSpy finished(&m_window, &QDialog::finished);
    m_window.show();
    ASSERT_TRUE(StartThroughButton(m_window));
    Button(kButtonClose)->click();
    EXPECT_FALSE(m_window.isVisible());
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(IsServerRunning());

    m_window.BringToFront();
    ASSERT_TRUE(StopThroughButton(m_window));
    Button(kButtonClose)->click();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.front().front().toInt(), MainWindow::kCloseResult);
}

// The real program started a second time, with this process as the first copy: it ends with 0 and
// the window hidden by Close while the server runs comes back.
TEST_F(MainWindowTest, SecondProgramShowsTheHiddenWindowAndEndsWithZero) {
    SingleInstance instance;
    ASSERT_TRUE(instance.Listen());
    QObject::connect(&instance, &SingleInstance::activationRequested, &m_window, &MainWindow::BringToFront);
    m_window.show();
    ASSERT_TRUE(StartThroughButton(m_window));
    Button(kButtonClose)->click();
    ASSERT_FALSE(m_window.isVisible());

    QProcess second;
    second.start(QStringLiteral(SARVO_PROGRAM), QStringList());
    ASSERT_TRUE(WaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().constData();
    EXPECT_TRUE(WaitFor([&] { return m_window.isVisible(); }));
}

TEST_F(MainWindowTest, GuestbookAlarmShowsTheHiddenWindowAndTellsTheOwner) {
    QString shown;
    AnswerNextMessageBox(QMessageBox::Ok, &shown);
    PostNotification(NotificationChannel::MainWindow, CMD_GUESTBOOK_ALARM, 0);
    ASSERT_TRUE(WaitFor([&] { return !shown.isEmpty(); }));
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_EQ(shown, QString::fromLatin1(kTextGuestbookNotice));
}

}  // namespace
}  // namespace sarvo::ui
