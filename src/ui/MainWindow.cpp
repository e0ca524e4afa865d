#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "common/Format.h"
#include "server/HttpServer.h"
#include "services/CommunityLogins.h"
#include "services/Webchat.h"
#include "store/SiteSettings.h"
#include "ui/AboutBox.h"
#include "ui/BringWindowToFront.h"
#include "ui/ClientsListView.h"
#include "ui/Clipboard.h"
#include "ui/Commands.h"
#include "ui/DialogUnits.h"
#include "ui/FilesListView.h"
#include "ui/FoldersListView.h"
#include "ui/Icons.h"
#include "ui/OwnerDialogTools.h"
#include "ui/OwnerMessages.h"
#include "ui/QrCodeDialog.h"
#include "ui/QtText.h"
#include "ui/QueuedNotificationTarget.h"
#include "ui/SelectIpDialog.h"
#include "ui/UiTexts.h"
#include "ui/UrlText.h"
#include "ui/dialogs/LogbookViewerDialog.h"
#include "ui/dialogs/WebSitePropertyDialog.h"

namespace sarvo::ui {
namespace {

// The window's measures, in dialog units.
constexpr int kWindowWidth = 384;
constexpr int kWindowHeight = 282;
constexpr int kMargin = 7;
constexpr int kSpacing = 4;
constexpr int kFoldersListWidth = 96;
constexpr int kButtonWidth = 50;
constexpr int kSmallButtonWidth = 40;
constexpr int kQrButtonWidth = 24;
constexpr int kButtonHeight = 14;
constexpr int kStatusHeight = 11;

constexpr QColor kStatusRunningText{255, 255, 255};
constexpr QColor kStatusRunningBackground{0, 0, 128};

QPushButton* MakeButton(const char* text, const DialogUnits& units, int widthUnits, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(text));
    button->setAutoDefault(false);
    button->setMinimumWidth(units.X(widthUnits));
    button->setFixedHeight(units.Y(kButtonHeight));
    return button;
}

uint16_t ConfiguredPort() {
    const uint16_t port = GetListenPort();
    return port == 0 ? kDefaultListenPort : port;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kProductCaption));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    BuildControls();
    SetStatusText(QString::fromLatin1(kTextServerNotWorking), false);
    m_serverEvents = std::make_unique<QueuedNotificationTarget>(
        NotificationChannel::MainWindow, this,
        [this](uint32_t command, uintptr_t) { HandleCommand(command); });
    m_chatEvents = std::make_unique<QueuedNotificationTarget>(
        NotificationChannel::ChatWindow, this,
        [this](uint32_t command, uintptr_t) { m_folders->OnChatCommand(command); });
    m_clientEvents = std::make_unique<ClientsNotificationTarget>(m_clients->Model());
    CentreOnScreen();
    PostCommand(CMD_UPDATE_CONTROLS);
}

// The targets go first, so that no post reaches a half-destroyed window.
MainWindow::~MainWindow() {
    m_clientEvents.reset();
    m_chatEvents.reset();
    m_serverEvents.reset();
}

void MainWindow::BuildControls() {
    const DialogUnits units(font());

    auto* foldersGroup = new QGroupBox(QString::fromLatin1(kGroupFoldersAndFiles), this);
    foldersGroup->setObjectName(QString::fromLatin1(kGroupFoldersAndFiles));
    m_files = new FilesListView(foldersGroup);
    m_folders = new FoldersListView(*m_files, foldersGroup);
    m_folders->setFixedWidth(units.X(kFoldersListWidth));
    auto* listsRow = new QHBoxLayout(foldersGroup);
    listsRow->setSpacing(units.X(kSpacing));
    listsRow->addWidget(m_folders);
    listsRow->addWidget(m_files, 1);

    auto* urlLabel = new QLabel(QString::fromLatin1(kUrlLabel), this);
    urlLabel->setObjectName(QString::fromLatin1(kUrlLabel));
    m_url = new QLineEdit(this);
    m_url->setObjectName(QString::fromLatin1(kUrlFieldName));
    m_url->setReadOnly(true);
    m_url->setFrame(false);
    QPalette urlPalette = m_url->palette();
    urlPalette.setColor(QPalette::Base, urlPalette.color(QPalette::Window));
    m_url->setPalette(urlPalette);
    urlLabel->setBuddy(m_url);
    m_open = MakeButton(kButtonOpen, units, kSmallButtonWidth, this);
    m_copy = MakeButton(kButtonCopy, units, kSmallButtonWidth, this);
    m_qrCode = MakeButton(kButtonQrCode, units, kQrButtonWidth, this);
    m_qrCode->setFixedWidth(units.X(kQrButtonWidth));
    m_qrCode->setToolTip(QString::fromLatin1(kButtonQrCodeTip));
    m_selectIp = MakeButton(kButtonSelectIp, units, kSmallButtonWidth, this);
    auto* urlRow = new QHBoxLayout;
    urlRow->setSpacing(units.X(kSpacing));
    urlRow->addWidget(urlLabel, 0, Qt::AlignVCenter);
    urlRow->addWidget(m_url, 1, Qt::AlignVCenter);
    urlRow->addWidget(m_open);
    urlRow->addWidget(m_copy);
    urlRow->addWidget(m_qrCode);
    urlRow->addWidget(m_selectIp);

    auto* clientsGroup = new QGroupBox(QString::fromLatin1(kGroupClients), this);
    clientsGroup->setObjectName(QString::fromLatin1(kGroupClients));
    m_clients = new ClientsListView(clientsGroup);
    auto* clientsBox = new QVBoxLayout(clientsGroup);
    clientsBox->addWidget(m_clients);

    QPushButton* about = MakeButton(kButtonAbout, units, kButtonWidth, this);
    m_start = MakeButton(kButtonStartServer, units, kButtonWidth, this);
    m_start->setCheckable(true);
    QPushButton* serverProperty = MakeButton(kButtonServerProperty, units, kButtonWidth + 14, this);
    QPushButton* close = MakeButton(kButtonClose, units, kButtonWidth, this);
    close->setDefault(true);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(units.X(kSpacing));
    buttonRow->addWidget(about);
    buttonRow->addWidget(m_start);
    buttonRow->addWidget(serverProperty);
    buttonRow->addStretch(1);
    buttonRow->addWidget(close);

    m_status = new QLabel(this);
    m_status->setObjectName(QString::fromLatin1(kStatusLineName));
    m_status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_status->setFixedHeight(units.Y(kStatusHeight));
    m_status->setIndent(units.X(2));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(units.X(kMargin), units.Y(kMargin), units.X(kMargin), units.Y(kMargin));
    layout->setSpacing(units.Y(kSpacing));
    layout->addWidget(foldersGroup, 3);
    layout->addLayout(urlRow);
    layout->addWidget(clientsGroup, 2);
    layout->addLayout(buttonRow);
    layout->addWidget(m_status);

    // The order of the controls as the owner tabs through them.
    QWidget* order[] = {m_folders,  m_files,   m_url, m_open,  m_copy,         m_qrCode,
                        m_selectIp, m_clients, about, m_start, serverProperty, close};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_start, &QPushButton::clicked, this, &MainWindow::OnStartButtonClicked);
    connect(close, &QPushButton::clicked, this, &MainWindow::RequestClose);
    connect(about, &QPushButton::clicked, this, [this] { HandleCommand(CMD_APP_ABOUT); });
    connect(serverProperty, &QPushButton::clicked, this, [this] { HandleCommand(CMD_SERVER_PROPERTY); });
    connect(m_open, &QPushButton::clicked, this, &MainWindow::OpenUrl);
    connect(m_copy, &QPushButton::clicked, this, &MainWindow::CopyUrl);
    connect(m_qrCode, &QPushButton::clicked, this, &MainWindow::ShowQrCode);
    connect(m_selectIp, &QPushButton::clicked, this, &MainWindow::SelectIp);
    connect(m_folders, &FoldersListView::commandPosted, this, &MainWindow::PostCommand);
    connect(m_files, &FilesListView::commandPosted, this, &MainWindow::PostCommand);
    connect(m_clients, &ClientsListView::commandPosted, this, &MainWindow::PostCommand);
    m_open->setEnabled(false);
    m_copy->setEnabled(false);
    m_qrCode->setEnabled(false);

    const QSize designed = units.Size(kWindowWidth, kWindowHeight);
    setFixedSize(designed.expandedTo(minimumSizeHint()));
}

void MainWindow::CentreOnScreen() {
    const QRect area = screen()->availableGeometry();
    QRect frame(QPoint(), size());
    frame.moveCenter(area.center());
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() - frame.width())));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() - frame.height())));
    move(frame.topLeft());
}

QString MainWindow::UrlText() const {
    return m_url->text();
}

void MainWindow::PostCommand(uint32_t command) {
    QMetaObject::invokeMethod(
        this, [this, command] { HandleCommand(command); }, Qt::QueuedConnection);
}

void MainWindow::HandleCommand(uint32_t command) {
    switch (command) {
        case CMD_UPDATE_CONTROLS:
            UpdateControls();
            break;
        case CMD_REFRESH_URL:
        case CMD_REFRESH_URL_FOLDER_SELECTION:
        case CMD_REFRESH_URL_FOLDER_FOCUS:
        case CMD_REFRESH_URL_FILE_FOCUS:
            RefreshUrl();
            break;
        case CMD_SERVER_STARTED:
            OnServerStarted();
            break;
        case CMD_SERVER_START_FAILED:
            OnServerStartFailed();
            break;
        case CMD_SERVER_STOPPED:
            OnServerStopped();
            break;
        case CMD_GUESTBOOK_ALARM:
            BringToFront();
            PostCommand(CMD_SHOW_GUESTBOOK_NOTICE);
            break;
        case CMD_SHOW_GUESTBOOK_NOTICE:
            ShowInformation(this, QString::fromLatin1(kTextGuestbookNotice));
            break;
        case CMD_OPEN_WEBCHAT_PAGE:
            OpenWebchatPage();
            break;
        case CMD_APP_ABOUT:
            AboutBox(this).exec();
            break;
        case CMD_SERVER_PROPERTY:
            OpenServerProperty();
            break;
        case CMD_OPEN_LOGBOOK:
            LogbookViewerDialog(this).exec();
            break;
        default:
            break;
    }
}

void MainWindow::ToggleServer() {
    m_start->click();
}

void MainWindow::OnStartButtonClicked(bool checked) {
    if (m_busy)
        return;
    const bool running = IsServerRunning();
    if (checked && !running) {
        SetBusy(true);
        StartServer();
    } else if (!checked && running) {
        if (AskYesNo(this, QString::fromLatin1(kTextStopServer)))
            BeginStop();
        else
            m_start->setChecked(true);
    }
}

void MainWindow::BeginStop() {
    SetBusy(true);
    CloseChatRoom();
    StopServer();
}

// The room's streams are server connections: they end before the server stops, not after.
void MainWindow::CloseChatRoom() {
    if (!IsChatRoomOpen())
        return;
    StopChatRoom();
    WaitForChatRoom();
}

void MainWindow::SetBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void MainWindow::OnServerStarted() {
    WakeCommunityLogins();
    m_clients->Model().Clear();
    SetStatusText(QString::fromStdString(Format(kTextServerWorking, unsigned{ConfiguredPort()})), true);
    m_start->setChecked(true);
    m_status->repaint();
    RefreshUrl();
    SetBusy(false);
    PostCommand(CMD_UPDATE_CONTROLS);
    emit serverStateChanged(true);
}

void MainWindow::OnServerStartFailed() {
    m_clients->Model().Clear();
    SetBusy(false);
    const int error = GetLastServerError();
    SetStatusText(QString::fromStdString(Format(kTextServerError, error)), false);
    m_start->setChecked(false);
    RefreshUrl();
    emit serverStateChanged(false);
    ShowInformation(this,
                    QString::fromStdString(Format(kTextStartFailed, unsigned{ConfiguredPort()}, error)));
    PostCommand(CMD_UPDATE_CONTROLS);
}

void MainWindow::OnServerStopped() {
    m_clients->Model().Clear();
    m_status->repaint();
    SetBusy(false);
    SetStatusText(QString::fromLatin1(kTextServerNotWorking), false);
    m_start->setChecked(false);
    RefreshUrl();
    PostCommand(CMD_UPDATE_CONTROLS);
    emit serverStateChanged(false);
    if (m_quitAfterStop)
        done(kCloseResult);
}

void MainWindow::SetStatusText(const QString& text, bool running) {
    m_status->setText(text);
    QPalette palette = this->palette();
    if (running) {
        palette.setColor(QPalette::Window, kStatusRunningBackground);
        palette.setColor(QPalette::WindowText, kStatusRunningText);
    }
    m_status->setAutoFillBackground(running);
    m_status->setPalette(palette);
}

void MainWindow::RefreshUrl() {
    const bool running = IsServerRunning();
    m_open->setEnabled(running);
    m_copy->setEnabled(running);
    m_qrCode->setEnabled(running);
    if (!running) {
        m_url->clear();
        return;
    }
    const std::string base = ServerUrl();
    std::string url;
    if (m_files->hasFocus() && m_files->HasSelection())
        url = m_files->UrlOfSelection(base);
    else if (m_folders->hasFocus() && m_folders->HasSelection())
        url = m_folders->UrlOfSelection(base);
    else if (m_files->HasSelection())
        url = m_files->UrlOfSelection(base);
    else if (m_folders->HasSelection())
        url = m_folders->UrlOfSelection(base);
    else
        url = base;
    m_url->setText(FromAnsi(EscapeUrlForField(url)));
    m_url->setCursorPosition(0);
}

void MainWindow::UpdateControls() {
    m_selectIp->setEnabled(IsServerRunning() && GetListenIp() == 0);
}

void MainWindow::OpenUrl() {
    if (!m_url->text().isEmpty())
        QDesktopServices::openUrl(QUrl(m_url->text()));
}

void MainWindow::CopyUrl() {
    CopyTextToClipboard(m_url->text());
}

void MainWindow::ShowQrCode() {
    if (!m_url->text().isEmpty())
        QrCodeDialog(m_url->text(), this).exec();
}

void MainWindow::SelectIp() {
    SelectIpDialog dialog(GetServerAddress().sin_addr.s_addr, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    SetUrlAddress(dialog.SelectedAddress());
    RefreshUrl();
    PostCommand(CMD_UPDATE_CONTROLS);
}

// With the server stopped, OK may have changed the address the URL field and "IP..." depend on.
void MainWindow::OpenServerProperty() {
    WebSitePropertyDialog dialog(this, WindowWebSiteActions());
    if (dialog.exec() != QDialog::Accepted)
        return;
    RefreshUrl();
    PostCommand(CMD_UPDATE_CONTROLS);
}

void MainWindow::OpenWebchatPage() {
    if (IsServerRunning())
        QDesktopServices::openUrl(QUrl(FromAnsi(ServerUrl() + kWebchatPagePath)));
}

void MainWindow::BringToFront() {
    BringWindowToFront(this);
}

void MainWindow::RequestClose() {
    if (m_busy)
        return;
    if (IsServerRunning()) {
        hide();
        return;
    }
    done(kCloseResult);
}

void MainWindow::RequestQuit() {
    if (m_busy)
        return;
    if (!IsServerRunning()) {
        done(kCloseResult);
        return;
    }
    if (!AskYesNo(this, QString::fromLatin1(kTextStopServer)))
        return;
    m_quitAfterStop = true;
    BeginStop();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    RequestClose();
}

void MainWindow::reject() {
    RequestClose();
}

}  // namespace sarvo::ui
