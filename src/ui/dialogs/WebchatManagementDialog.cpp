#include "ui/dialogs/WebchatManagementDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

#include "server/HttpServer.h"
#include "services/Webchat.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/ReportList.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {
namespace {

constexpr int kIdIndex = 0;
constexpr int kAddressIndex = 2;

}  // namespace

WebchatManagementDialog::WebchatManagementDialog(QWidget* parent)
    : PropertyDialog(parent, kWebchatManagementCaption, SaveOn::AnyClose) {
    auto* layout = new QVBoxLayout(this);
    auto* welcomeGroup = new QGroupBox(QString::fromUtf8(kWelcomeMessage), this);
    auto* welcomeLayout = new QVBoxLayout(welcomeGroup);
    m_welcome = new QPlainTextEdit(welcomeGroup);
    m_welcome->setObjectName(kWelcomeMessage);
    m_welcome->setTabChangesFocus(true);
    m_welcome->setFixedHeight(m_welcome->fontMetrics().lineSpacing() * 4 + 12);
    welcomeLayout->addWidget(m_welcome);
    layout->addWidget(welcomeGroup);

    auto* membersGroup = new QGroupBox(QString::fromUtf8(kChatRoomMembers), this);
    auto* membersLayout = new QGridLayout(membersGroup);
    // The name takes half of what the ID leaves, the address the rest.
    const int nameWidth = (kListWidth - kIdColumnWidth) / 2;
    m_members = new ReportList(kChatRoomMembers,
                               {{kIdColumn, kIdColumnWidth, {}, ReportColumn::SortAs::Number, "4294967295"},
                                {kNameColumn.text, nameWidth},
                                {kIpColumn.text, 0}},
                               ReportList::Sorting::ByHeaderClick, membersGroup);
    m_members->setSelectionMode(QAbstractItemView::SingleSelection);
    m_members->setMinimumSize(kListWidth, 220);
    m_copy = NamedButton(kCopyIpButton, membersGroup);
    m_disconnect = NamedButton(kDisconnectButton, membersGroup);
    m_block = NamedButton(kBlockButton, membersGroup);
    membersLayout->addWidget(m_members, 0, 0, 4, 1);
    membersLayout->addWidget(m_copy, 0, 1);
    membersLayout->addWidget(m_disconnect, 1, 1);
    membersLayout->addWidget(m_block, 2, 1);
    membersLayout->setRowStretch(3, 1);
    layout->addWidget(membersGroup, 1);
    AddButtons(layout, Buttons::Close);

    connect(m_welcome, &QPlainTextEdit::textChanged, this, &WebchatManagementDialog::LimitWelcomeLength);
    connect(m_copy, &QPushButton::clicked, this, &WebchatManagementDialog::CopyAddress);
    connect(m_disconnect, &QPushButton::clicked, this, [this] { Kick(false); });
    connect(m_block, &QPushButton::clicked, this, [this] { Kick(true); });
    UpdateControlsOn(m_members->selectionModel(), &QItemSelectionModel::selectionChanged);
    Start();
}

void WebchatManagementDialog::Load() {
    m_welcome->setPlainText(FromStore(GetWebChatWelcomeMsg()));
    FillMembers();
}

void WebchatManagementDialog::UpdateControls() {
    const bool enabled = m_members->SelectedRows().size() == 1 && !m_busy;
    m_copy->setEnabled(enabled);
    m_disconnect->setEnabled(enabled);
    m_block->setEnabled(enabled);
}

void WebchatManagementDialog::Save() {
    SetWebChatWelcomeMsg(ToStore(Trimmed(m_welcome->toPlainText())));
}

void WebchatManagementDialog::OnChatCommand(uint32_t command) {
    if (command != CMD_WEBCHAT_MEMBERS_CHANGED)
        return;
    m_busy = false;
    unsetCursor();
    FillMembers();
}

void WebchatManagementDialog::FillMembers() {
    std::vector<QStringList> rows;
    if (IsServerRunning() && IsChatRoomOpen()) {
        for (const ChatMemberInfo& member : CopyChatMembers())
            rows.push_back({QString::number(member.id), FromStore(member.name), FromStore(member.address)});
    }
    m_members->Model().SetRows(std::move(rows));
    UpdateControls();
}

void WebchatManagementDialog::CopyAddress() {
    const std::vector<int> rows = m_members->SelectedRows();
    if (rows.size() == 1)
        QApplication::clipboard()->setText(m_members->Model().Row(rows.front())[kAddressIndex]);
}

void WebchatManagementDialog::Kick(bool block) {
    const std::vector<int> rows = m_members->SelectedRows();
    if (rows.size() != 1 || m_busy)
        return;
    m_busy = true;
    // The hourglass stays over the dialog until the chat room answers.
    setCursor(Qt::WaitCursor);
    UpdateControls();
    PostChatKick(m_members->Model().Row(rows.front())[kIdIndex].toUInt(),
                 block ? ChatKick::Block : ChatKick::Disconnect);
}

// The stored message has room for kWelcomeMaxLength bytes.
void WebchatManagementDialog::LimitWelcomeLength() {
    const QString text = m_welcome->toPlainText();
    if (text.toUtf8().size() <= kWelcomeMaxLength)
        return;
    QString cut = text;
    while (cut.toUtf8().size() > kWelcomeMaxLength)
        cut.chop(1);
    const QSignalBlocker quiet(m_welcome);
    m_welcome->setPlainText(cut);
    m_welcome->moveCursor(QTextCursor::End);
}

}  // namespace sarvo::ui
