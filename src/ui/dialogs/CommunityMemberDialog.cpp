#include "ui/dialogs/CommunityMemberDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>
#include <string>
#include <vector>

#include "services/CommunityLogins.h"
#include "services/CommunityOwner.h"
#include "services/CommunityStore.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/AddUpdateHostDialog.h"
#include "ui/dialogs/AskYesNo.h"
#include "ui/dialogs/CommunityRows.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/ReportList.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {
namespace {

constexpr int kIdIndex = 0;
constexpr int kHostPageIndex = 6;

void Refuse(QWidget* parent, const std::string& refusal) {
    QMessageBox::warning(parent, QString::fromUtf8(kProductCaption), FromStore(refusal));
}

}  // namespace

CommunityMemberDialog::CommunityMemberDialog(QWidget* parent, ShellActions shell)
    : PropertyDialog(parent, kCommunityMemberCaption, SaveOn::AnyClose), m_shell(std::move(shell)) {
    auto* layout = new QVBoxLayout(this);
    auto* hostsGroup = new QGroupBox(QString::fromUtf8(kCommunityHostsList), this);
    auto* hostsLayout = new QGridLayout(hostsGroup);
    m_hosts = new ReportList(kCommunityHostsList,
                             {{kMemberIdColumn, 100},
                              {kMemberNameColumn, 120},
                              {kMemberDescriptionColumn, 160},
                              {kLoginUrlColumn, 160},
                              {kLastLoginColumn, 120, ReportColumn::Align::Right, {}, kWidestLastLogin},
                              {kHostNameColumn, 120},
                              {kHostPageColumn, 160},
                              {kHostDescriptionColumn, 0}},
                             ReportList::Sorting::Fixed, hostsGroup);
    m_hosts->setMinimumSize(720, 220);
    auto* add = NamedButton(kAddButton, hostsGroup);
    m_edit = NamedButton(kEditButton, hostsGroup);
    m_remove = NamedButton(kRemoveButton, hostsGroup);
    m_open = NamedButton(kOpenButton, hostsGroup);
    hostsLayout->addWidget(m_hosts, 0, 0, 5, 1);
    hostsLayout->addWidget(add, 0, 1);
    hostsLayout->addWidget(m_edit, 1, 1);
    hostsLayout->addWidget(m_remove, 2, 1);
    hostsLayout->addWidget(m_open, 3, 1);
    hostsLayout->setRowStretch(4, 1);
    layout->addWidget(hostsGroup, 1);
    m_enable = NamedCheckBox(kEnableCommunityMember, this);
    layout->addWidget(m_enable);
    AddButtons(layout, Buttons::Close);

    connect(add, &QPushButton::clicked, this, &CommunityMemberDialog::AddHost);
    connect(m_edit, &QPushButton::clicked, this, &CommunityMemberDialog::EditHost);
    connect(m_hosts, &QAbstractItemView::doubleClicked, this, &CommunityMemberDialog::EditHost);
    connect(m_remove, &QPushButton::clicked, this, &CommunityMemberDialog::RemoveHosts);
    connect(m_open, &QPushButton::clicked, this, &CommunityMemberDialog::OpenHostPage);
    connect(m_enable, &QCheckBox::clicked, this, [](bool on) { SetWebCommMember(on); });
    UpdateControlsOn(m_hosts->selectionModel(), &QItemSelectionModel::selectionChanged);
    Start();
}

void CommunityMemberDialog::Load() {
    FillHosts();
    m_enable->setChecked(IsWebCommMember());
}

void CommunityMemberDialog::FillHosts() {
    std::vector<QStringList> rows;
    for (const CommunityHost& host : ListCommunityHosts())
        rows.push_back(CommunityHostRow(host));
    m_hosts->Model().SetRows(std::move(rows));
    UpdateControls();
}

void CommunityMemberDialog::UpdateControls() {
    const std::vector<int> rows = m_hosts->SelectedRows();
    m_remove->setEnabled(!rows.empty());
    m_edit->setEnabled(rows.size() == 1);
    m_open->setEnabled(!rows.empty() && !m_hosts->Model().Row(rows.front())[kHostPageIndex].isEmpty());
}

// The records are stored as they are edited; a close (OK, Close, Escape or the caption's button)
// only wakes the login thread.
void CommunityMemberDialog::Save() {
    WakeCommunityLogins();
}

void CommunityMemberDialog::AddHost() {
    AddUpdateHostDialog editor(this, AddUpdateHostDialog::Purpose::Add, CommunityHost{});
    if (editor.exec() != QDialog::Accepted)
        return;
    if (const std::string refusal = AddCommunityHostRecord(editor.Host()); !refusal.empty())
        return Refuse(this, refusal);
    if (const std::optional<CommunityHost> stored = FindCommunityHost(editor.Host().id))
        m_hosts->SelectOnly(m_hosts->Model().AppendRow(CommunityHostRow(*stored)));
}

void CommunityMemberDialog::EditHost() {
    const std::vector<int> rows = m_hosts->SelectedRows();
    if (rows.size() != 1)
        return;
    const std::optional<CommunityHost> host =
        FindCommunityHost(ToStore(m_hosts->Model().Row(rows.front())[kIdIndex]));
    if (!host)
        return FillHosts();
    AddUpdateHostDialog editor(this, AddUpdateHostDialog::Purpose::Update, *host);
    if (editor.exec() != QDialog::Accepted)
        return;
    if (const std::string refusal = UpdateCommunityHostRecord(editor.Host()); !refusal.empty())
        return Refuse(this, refusal);
    if (const std::optional<CommunityHost> stored = FindCommunityHost(host->id))
        m_hosts->Model().ReplaceRow(rows.front(), CommunityHostRow(*stored));
}

void CommunityMemberDialog::RemoveHosts() {
    const std::vector<int> rows = m_hosts->SelectedRows();
    if (rows.empty() || !AskYesNo(this, kProductCaption, kRemoveItemsQuestion.text, QMessageBox::NoIcon))
        return;
    std::vector<std::string> ids;
    for (const int row : rows)
        ids.push_back(ToStore(m_hosts->Model().Row(row)[kIdIndex]));
    if (const std::string refusal = RemoveCommunityHostIds(ids); !refusal.empty()) {
        Refuse(this, refusal);
        return FillHosts();
    }
    m_hosts->Model().RemoveRows(rows);
    UpdateControls();
}

void CommunityMemberDialog::OpenHostPage() {
    const std::vector<int> rows = m_hosts->SelectedRows();
    if (!rows.empty())
        m_shell.openAddress(m_hosts->Model().Row(rows.front())[kHostPageIndex]);
}

}  // namespace sarvo::ui
