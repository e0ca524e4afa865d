#include "ui/dialogs/GuestbookDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

#include "services/GuestbookOwner.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/ReportList.h"
#include "ui/dialogs/TrimmedText.h"
#include "ui/dialogs/WaitCursor.h"

namespace sarvo::ui {
namespace {

// Past the shown columns, each row keeps the name of its message file.
constexpr int kFileNameIndex = 3;

// A list row is one line high, so the preview's line breaks are shown as blanks.
QString OneLine(const std::string& preview) {
    QString text = FromStore(preview);
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

}  // namespace

GuestbookDialog::GuestbookDialog(QWidget* parent, ShellActions shell)
    : PropertyDialog(parent, kGuestbookCaption), m_shell(std::move(shell)) {
    auto* layout = new QVBoxLayout(this);
    auto* folderRow = new QGridLayout;
    m_folder = NamedLineEdit(kGuestbookFolderLabel, 0, this);
    m_folder->setReadOnly(true);
    auto* browse = NamedButton(kBrowseButton, this);
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("  ...  ")) + 16);
    auto* explorer = NamedButton(kExplorerButton, this);
    folderRow->addWidget(LabelFor(kGuestbookFolderLabel, m_folder, this), 0, 0, 1, 3);
    folderRow->addWidget(m_folder, 1, 0);
    folderRow->addWidget(browse, 1, 1);
    folderRow->addWidget(explorer, 1, 2);
    layout->addLayout(folderRow);
    m_enable = NamedCheckBox(kEnableGuestbook, this);
    m_alarm = NamedCheckBox(kGuestbookAlarm, this);
    layout->addWidget(m_enable);
    layout->addWidget(m_alarm);

    auto* received = new QGroupBox(QString::fromUtf8(kReceivedMessages), this);
    auto* receivedLayout = new QGridLayout(received);
    m_messages = new ReportList(kReceivedMessages,
                                {{kIpColumn.text, kIpColumnWidth, {}, {}, "255.255.255.255(99)"},
                                 {kTimeColumn.text, kTimeColumnWidth, {}, {}, "2026-12-31 23:59:59"},
                                 {kContentColumn.text, kContentColumnWidth}},
                                ReportList::Sorting::Fixed, received);
    m_messages->setMinimumSize(620, 240);
    m_read = NamedButton(kReadButton, received);
    m_delete = NamedButton(kDeleteButton, received);
    receivedLayout->addWidget(m_messages, 0, 0, 3, 1);
    receivedLayout->addWidget(m_read, 0, 1);
    receivedLayout->addWidget(m_delete, 1, 1);
    receivedLayout->setRowStretch(2, 1);
    layout->addWidget(received, 1);
    AddButtons(layout);

    connect(browse, &QPushButton::clicked, this, &GuestbookDialog::ChooseFolder);
    connect(explorer, &QPushButton::clicked, this, [this] { m_shell.openPath(m_folder->text()); });
    connect(m_read, &QPushButton::clicked, this, &GuestbookDialog::ReadMessage);
    connect(m_messages, &QAbstractItemView::doubleClicked, this, &GuestbookDialog::ReadMessage);
    connect(m_delete, &QPushButton::clicked, this, &GuestbookDialog::DeleteMessages);
    UpdateControlsOn(m_messages->selectionModel(), &QItemSelectionModel::selectionChanged);
    Start();
}

void GuestbookDialog::Load() {
    m_folder->setText(FromStore(GuestbookMessageFolder()));
    m_enable->setChecked(IsGuestbookEnabled());
    m_alarm->setChecked(IsGuestbookAlarmOn());
    FillMessages();
}

void GuestbookDialog::FillMessages() {
    WaitCursor wait;
    std::vector<QStringList> rows;
    for (const GuestbookMessageInfo& message : ListGuestbookMessages()) {
        rows.push_back({FromStore(message.sender), FromStore(FormatGuestbookTime(message.lastWriteTime)),
                        OneLine(message.preview), FromStore(message.fileName)});
    }
    m_messages->Model().SetRows(std::move(rows));
    UpdateControls();
}

void GuestbookDialog::UpdateControls() {
    const bool selected = !m_messages->SelectedRows().empty();
    m_read->setEnabled(selected);
    m_delete->setEnabled(selected);
}

void GuestbookDialog::Save() {
    SetGuestbookEnabled(m_enable->isChecked());
    SetGuestbookAlarmOn(m_alarm->isChecked());
}

void GuestbookDialog::ChooseFolder() {
    const QString chosen = m_shell.chooseFolder(this, m_folder->text());
    if (!chosen.isEmpty())
        m_folder->setText(chosen);
}

void GuestbookDialog::ReadMessage() {
    const std::vector<int> rows = m_messages->SelectedRows();
    if (rows.empty())
        return;
    const std::string path =
        GuestbookMessagePath(ToStore(m_messages->Model().Row(rows.front())[kFileNameIndex]));
    if (!path.empty())
        m_shell.openPath(FromStore(path));
}

void GuestbookDialog::DeleteMessages() {
    const std::vector<int> rows = m_messages->SelectedRows();
    if (rows.empty())
        return;
    if (QMessageBox::question(this, QString::fromUtf8(kGuestbookCaption),
                              QString::fromUtf8(kDeleteMessagesQuestion.text)) != QMessageBox::Yes)
        return;
    WaitCursor wait;
    // A file that cannot be deleted still loses its row.
    for (const int row : rows)
        DeleteGuestbookMessage(ToStore(m_messages->Model().Row(row)[kFileNameIndex]));
    m_messages->Model().RemoveRows(rows);
    UpdateControls();
}

}  // namespace sarvo::ui
