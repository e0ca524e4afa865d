#include "ui/TrayController.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "ui/Clipboard.h"
#include "ui/Icons.h"
#include "ui/MainWindow.h"
#include "ui/UiTexts.h"

namespace sarvo::ui {

TrayController::TrayController(MainWindow& window) : QObject(&window), m_window(window) {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    auto* menu = new QMenu(&m_window);
    connect(menu->addAction(QString::fromLatin1(kTrayShow)), &QAction::triggered, &m_window,
            &MainWindow::BringToFront);
    m_startStop = menu->addAction(QString::fromLatin1(kTrayStartServer));
    connect(m_startStop, &QAction::triggered, &m_window, &MainWindow::ToggleServer);
    m_copyUrl = menu->addAction(QString::fromLatin1(kTrayCopyUrl));
    connect(m_copyUrl, &QAction::triggered, this, [this] { CopyTextToClipboard(m_window.UrlText()); });
    menu->addSeparator();
    connect(menu->addAction(QString::fromLatin1(kTrayQuit)), &QAction::triggered, &m_window,
            &MainWindow::RequestQuit);

    m_icon = new QSystemTrayIcon(this);
    m_icon->setContextMenu(menu);
    m_icon->setToolTip(QString::fromLatin1(kProductCaption));
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            ToggleWindow();
    });
    connect(&m_window, &MainWindow::serverStateChanged, this, &TrayController::ServerStateChanged);
    ServerStateChanged(false);
    m_icon->show();
}

void TrayController::ServerStateChanged(bool running) {
    m_icon->setIcon(TrayIcon(running));
    m_startStop->setText(QString::fromLatin1(running ? kTrayStopServer : kTrayStartServer));
    m_copyUrl->setEnabled(running);
}

void TrayController::ToggleWindow() {
    if (m_window.isVisible())
        m_window.hide();
    else
        m_window.BringToFront();
}

}  // namespace sarvo::ui
