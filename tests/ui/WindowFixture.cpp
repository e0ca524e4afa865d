#include "ui/WindowFixture.h"

#include <arpa/inet.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>

#include "server/HttpServer.h"
#include "services/ServiceHandlers.h"
#include "site/SiteHandlers.h"
#include "store/Folders.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"
#include "ui/FoldersListView.h"
#include "ui/MainWindow.h"

namespace sarvo::test {

WindowHome::WindowHome() : m_port(PickFreePort()) {
    static const bool registered = [] {
        RegisterSiteHandlers();
        RegisterServiceHandlers();
        return true;
    }();
    (void)registered;
    SetListenIp(htonl(INADDR_LOOPBACK));
    SetListenPort(m_port);
}

std::string WindowHome::ShareFolder(const std::string& name, bool subfolders, bool canPost, bool visible,
                                    bool zip) {
    SharedFolder folder;
    folder.name = name;
    folder.location = m_home.Child("shares/" + name);
    std::filesystem::create_directories(folder.location);
    folder.canBrowseSubfolders = subfolders;
    folder.canPostFiles = canPost;
    folder.visible = visible;
    folder.zipDownload = zip;
    WriteSharedFolder(folder);
    return folder.location;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

void AnswerNextMessageBox(QMessageBox::StandardButton answer, QString* shownText) {
    auto* poll = new QTimer(qApp);
    const QDeadlineTimer deadline(10000);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, shownText, deadline] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (deadline.hasExpired())
                poll->deleteLater();
            return;
        }
        if (shownText)
            *shownText = box->text();
        if (QAbstractButton* button = box->button(answer))
            button->click();
        else
            box->reject();
        poll->deleteLater();
    });
    poll->start(20);
}

bool SelectFolderRow(ui::FoldersListView& folders, const QString& text) {
    for (int row = 0; row < folders.Model().rowCount(); ++row) {
        if (folders.Model().Text(row) == text) {
            folders.selectionModel()->setCurrentIndex(
                folders.Model().index(row), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            return true;
        }
    }
    return false;
}

void AnswerNextFolderDialog(QString* openedAt, const QString& folder) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, openedAt, folder] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        *openedAt = dialog->directory().absolutePath();
        if (folder.isEmpty())
            return dialog->reject();
        dialog->setDirectory(folder);
        // QFileDialog's accept, which reads the choice, is reached through QDialog's public one.
        static_cast<QDialog*>(dialog)->accept();
    });
    poll->start(20);
}

// How long a box that opens while the server starts may wait for an answer the test arranged.
constexpr int kUnansweredBoxMs = 2000;

bool StartThroughButton(ui::MainWindow& window) {
    // A start that fails shows a modal box, which would hold the test until its time ran out. One
    // that nobody answers within a while is closed, and its text reported, instead.
    QString unanswered;
    QDeadlineTimer answerBy(kUnansweredBoxMs);
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            answerBy = QDeadlineTimer(kUnansweredBoxMs);
            return;
        }
        if (!answerBy.hasExpired())
            return;
        unanswered = box->text();
        box->reject();
    });
    guard.start(20);
    auto* start = window.findChild<QPushButton*>(QStringLiteral("Start Server"));
    start->click();
    const bool settled = WaitFor([&] { return !window.IsBusy(); });
    guard.stop();
    if (!unanswered.isEmpty()) {
        std::fprintf(stderr, "The server did not start: %s\n", unanswered.toStdString().c_str());
        return false;
    }
    return settled;
}

bool StopThroughButton(ui::MainWindow& window) {
    auto* start = window.findChild<QPushButton*>(QStringLiteral("Start Server"));
    AnswerNextMessageBox(QMessageBox::Yes);
    start->click();
    return WaitFor([&] { return !window.IsBusy() && !IsServerRunning(); });
}

}  // namespace sarvo::test
