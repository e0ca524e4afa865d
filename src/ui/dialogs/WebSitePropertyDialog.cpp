#include "ui/dialogs/WebSitePropertyDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <arpa/inet.h>

#include <utility>

#include "platform/LocalAddresses.h"
#include "platform/ProcessPriority.h"
#include "server/HttpServer.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/AutoBlockerDialog.h"
#include "ui/dialogs/ClientIpFilterDialog.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/HomePageDialog.h"
#include "ui/dialogs/IpAddressText.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"
#include "ui/dialogs/UsersPasswordsDialog.h"

namespace sarvo::ui {
namespace {

// Every dialog behind these buttons stores on its own OK, whatever this dialog's end.
template <typename Dialog>
void OpenSubDialog(QWidget* parent) {
    Dialog dialog(parent);
    dialog.exec();
}

QGroupBox* Group(const char* title, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromUtf8(title), parent);
    group->setObjectName(title);
    return group;
}

}  // namespace

unsigned PortFieldValue(const QString& text) {
    unsigned value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + static_cast<unsigned>(c.unicode() - '0');
        if (value > WebSitePropertyDialog::kMaxPort)
            return value;
    }
    return value;
}

WebSitePropertyDialog::WebSitePropertyDialog(QWidget* parent, WebSitePropertyActions actions)
    : PropertyDialog(parent, kWebSitePropertyCaption), m_actions(std::move(actions)) {
    auto* layout = new QVBoxLayout(this);

    auto* server = Group(kServerGroup, this);
    auto* serverRow = new QHBoxLayout(server);
    m_address = new QComboBox(server);
    m_address->setObjectName(kIpLabel);
    m_address->setMinimumContentsLength(15);
    m_port = NamedLineEdit(kPortLabel, 0, server);
    m_port->setMaxLength(kPortMaxLength);
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_port));
    m_port->setMaximumWidth(m_port->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    serverRow->addWidget(LabelFor(kIpLabel, m_address, server));
    serverRow->addWidget(m_address, 1);
    serverRow->addSpacing(12);
    serverRow->addWidget(LabelFor(kPortLabel, m_port, server));
    serverRow->addWidget(m_port);
    layout->addWidget(server);

    auto* priority = Group(kPriorityGroup, this);
    auto* priorityRow = new QHBoxLayout(priority);
    m_idle = NamedRadio(kIdleClass, priority);
    m_normal = NamedRadio(kNormalClass, priority);
    priorityRow->addWidget(m_idle);
    priorityRow->addWidget(m_normal);
    priorityRow->addStretch(1);
    layout->addWidget(priority);

    auto* log = Group(kLogGroup, this);
    auto* logColumn = new QVBoxLayout(log);
    m_keepLog = NamedCheckBox(kKeepLogFile, log);
    m_skipThisComputer = NamedCheckBox(kDoNotLogThisComputer, log);
    logColumn->addWidget(m_keepLog);
    logColumn->addWidget(m_skipThisComputer);
    layout->addWidget(log);

    m_desktopIcon = NamedCheckBox(kDesktopIcon, this);
    layout->addWidget(m_desktopIcon);

    auto* site = Group(kSiteGroup, this);
    auto* siteGrid = new QGridLayout(site);
    auto* homePage = NamedButton(kHomePageButton, site);
    m_guestbook = NamedButton(kGuestbookButton, site);
    auto* passwords = NamedButton(kPasswordsButton, site);
    auto* ipFilter = NamedButton(kIpFilterButton, site);
    auto* autoBlocker = NamedButton(kAutoBlockerButton, site);
    siteGrid->addWidget(homePage, 0, 0);
    siteGrid->addWidget(m_guestbook, 0, 1);
    siteGrid->addWidget(passwords, 0, 2);
    siteGrid->addWidget(ipFilter, 1, 0);
    siteGrid->addWidget(autoBlocker, 1, 1);
    layout->addWidget(site);

    auto* bottom = new QHBoxLayout;
    m_uninstall = NamedButton(kUninstallButton, this);
    bottom->addWidget(m_uninstall);
    bottom->addStretch(1);
    layout->addLayout(bottom);
    AddButtons(bottom);

    connect(homePage, &QPushButton::clicked, this, [this] { OpenSubDialog<HomePageDialog>(this); });
    connect(passwords, &QPushButton::clicked, this, [this] { OpenSubDialog<UsersPasswordsDialog>(this); });
    connect(ipFilter, &QPushButton::clicked, this, [this] { OpenSubDialog<ClientIpFilterDialog>(this); });
    connect(autoBlocker, &QPushButton::clicked, this, [this] { OpenSubDialog<AutoBlockerDialog>(this); });
    connect(m_guestbook, &QPushButton::clicked, this, [this] { m_actions.openGuestbook(this); });
    connect(m_uninstall, &QPushButton::clicked, this, [this] { m_actions.uninstall(this); });
    UpdateControlsOn(m_port, &QLineEdit::textChanged);
    Start();
}

void WebSitePropertyDialog::Load() {
    m_serverRunning = IsServerRunning();
    const sockaddr_in listening = GetServerAddress();
    LoadAddresses(m_serverRunning ? listening.sin_addr.s_addr : GetListenIp());
    const unsigned port = m_serverRunning ? ntohs(listening.sin_port) : GetListenPort();
    m_port->setText(QString::number(port));

    // A priority set from outside (renice) checks neither button.
    const std::optional<ProcessPriority> priority = CurrentProcessPriority();
    m_idle->setChecked(priority == ProcessPriority::Idle);
    m_normal->setChecked(priority == ProcessPriority::Normal);

    m_keepLog->setChecked(IsLogEnabled());
    m_skipThisComputer->setChecked(!LogSelf());
    m_desktopIcon->setChecked(m_actions.desktopShortcutExists && m_actions.desktopShortcutExists());
    m_port->setFocus();
}

void WebSitePropertyDialog::LoadAddresses(uint32_t selected) {
    m_address->addItem(QString::fromUtf8(kAllAddresses), 0u);
    for (const uint32_t address : LocalIpv4Addresses())
        m_address->addItem(FromStore(FormatIpAddress(address)), address);
    const int index = m_address->findData(selected);
    m_address->setCurrentIndex(index >= 0 ? index : m_address->findData(0u));
}

void WebSitePropertyDialog::UpdateControls() {
    const unsigned port = PortFieldValue(m_port->text());
    OkButton()->setEnabled(port >= 1 && port <= kMaxPort);
    const bool stopped = !m_serverRunning;
    m_address->setEnabled(stopped);
    m_port->setEnabled(stopped);
    m_idle->setEnabled(stopped);
    m_normal->setEnabled(stopped);
    m_uninstall->setEnabled(stopped && m_actions.uninstall);
    m_desktopIcon->setEnabled(m_actions.createDesktopShortcut && m_actions.deleteDesktopShortcut);
    m_guestbook->setEnabled(static_cast<bool>(m_actions.openGuestbook));
}

void WebSitePropertyDialog::Save() {
    if (!m_serverRunning) {
        SetListenIp(m_address->currentIndex() >= 0 ? m_address->currentData().toUInt() : 0);
        SetListenPort(static_cast<uint16_t>(PortFieldValue(m_port->text())));
        SavePriority();
    }
    SetLogEnabled(m_keepLog->isChecked());
    SetLogSelf(!m_skipThisComputer->isChecked());
    if (m_desktopIcon->isEnabled()) {
        if (m_desktopIcon->isChecked())
            m_actions.createDesktopShortcut();
        else
            m_actions.deleteDesktopShortcut();
    }
}

void WebSitePropertyDialog::SavePriority() {
    const std::optional<ProcessPriority> current = CurrentProcessPriority();
    if (m_idle->isChecked()) {
        SetUseIdleProcess(true);
        if (current != ProcessPriority::Idle)
            SetProcessPriority(ProcessPriority::Idle);
        return;
    }
    SetUseIdleProcess(false);
    if (m_normal->isChecked() && current != ProcessPriority::Normal)
        SetProcessPriority(ProcessPriority::Normal);
}

}  // namespace sarvo::ui
