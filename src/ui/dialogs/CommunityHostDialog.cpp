#include "ui/dialogs/CommunityHostDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>
#include <utility>
#include <vector>

#include "services/CommunityOwner.h"
#include "services/CommunityStore.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/AddMemberDialog.h"
#include "ui/dialogs/AskYesNo.h"
#include "ui/dialogs/CommunityRows.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/ReportList.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {
namespace {

constexpr int kIdIndex = 0;
constexpr int kUrlIndex = 2;
constexpr int kHostInfoMinDescription = 3;

}  // namespace

CommunityHostDialog::CommunityHostDialog(QWidget* parent, ShellActions shell)
    : PropertyDialog(parent, kCommunityHostCaption), m_shell(std::move(shell)) {
    auto* layout = new QVBoxLayout(this);
    auto* membersGroup = new QGroupBox(QString::fromUtf8(kCommunityMembersList), this);
    auto* membersLayout = new QGridLayout(membersGroup);
    m_members = new ReportList(kCommunityMembersList,
                               {{kIdColumn, 100},
                                {kNameColumn.text, 100},
                                {kUrlColumn, 180},
                                {kLastLoginColumn, 120, ReportColumn::Align::Right, {}, kWidestLastLogin},
                                {kDescriptionColumn, 0}},
                               ReportList::Sorting::ByHeaderClick, membersGroup);
    m_members->setMinimumSize(660, 220);
    auto* add = NamedButton(kAddButton, membersGroup);
    m_remove = NamedButton(kRemoveButton, membersGroup);
    m_open = NamedButton(kOpenButton, membersGroup);
    membersLayout->addWidget(m_members, 0, 0, 4, 1);
    membersLayout->addWidget(add, 0, 1);
    membersLayout->addWidget(m_remove, 1, 1);
    membersLayout->addWidget(m_open, 2, 1);
    membersLayout->setRowStretch(3, 1);
    layout->addWidget(membersGroup, 1);

    m_enable = NamedCheckBox(kEnableCommunityHost, this);
    layout->addWidget(m_enable);
    auto* infoGroup = new QGroupBox(QString::fromUtf8(kHostInfoGroup), this);
    auto* infoLayout = new QGridLayout(infoGroup);
    m_name = NamedLineEdit(kNameLabel, static_cast<int>(kCommunityTextMax), infoGroup);
    m_description = NamedLineEdit(kDescriptionLabel, static_cast<int>(kCommunityTextMax), infoGroup);
    m_save = NamedButton(kSaveButton, infoGroup);
    infoLayout->addWidget(LabelFor(kNameLabel, m_name, infoGroup), 0, 0);
    infoLayout->addWidget(m_name, 0, 1);
    infoLayout->addWidget(LabelFor(kDescriptionLabel, m_description, infoGroup), 1, 0);
    infoLayout->addWidget(m_description, 1, 1);
    infoLayout->addWidget(m_save, 1, 2);
    layout->addWidget(infoGroup);
    AddButtons(layout, Buttons::Close);

    connect(add, &QPushButton::clicked, this, &CommunityHostDialog::AddMember);
    connect(m_remove, &QPushButton::clicked, this, &CommunityHostDialog::RemoveMembers);
    connect(m_open, &QPushButton::clicked, this, &CommunityHostDialog::OpenMemberPage);
    connect(m_save, &QPushButton::clicked, this, &CommunityHostDialog::SaveHostInfo);
    connect(m_enable, &QCheckBox::clicked, this, [](bool on) { SetWebCommHost(on); });
    UpdateControlsOn(m_members->selectionModel(), &QItemSelectionModel::selectionChanged);
    UpdateControlsOn(m_description, &QLineEdit::textChanged);
    Start();
}

void CommunityHostDialog::Load() {
    FillMembers();
    m_enable->setChecked(IsWebCommHost());
    m_name->setText(FromStore(GetWebCommNameAsHost()));
    m_description->setText(FromStore(GetWebCommDescAsHost()));
}

void CommunityHostDialog::FillMembers() {
    std::vector<QStringList> rows;
    for (const CommunityMember& member : ListCommunityMembers())
        rows.push_back(CommunityMemberRow(member));
    m_members->Model().SetRows(std::move(rows));
    UpdateControls();
}

void CommunityHostDialog::UpdateControls() {
    const std::vector<int> rows = m_members->SelectedRows();
    m_remove->setEnabled(!rows.empty());
    m_open->setEnabled(!rows.empty() && !m_members->Model().Row(rows.front())[kUrlIndex].isEmpty());
    m_save->setEnabled(Trimmed(m_description).size() >= kHostInfoMinDescription);
}

// Everything is stored as it is changed.
void CommunityHostDialog::Save() {}

void CommunityHostDialog::AddMember() {
    AddMemberDialog ask(this);
    if (ask.exec() != QDialog::Accepted)
        return;
    const std::string id = ToStore(ask.MemberId());
    if (const std::string refusal = AddCommunityMemberId(id); !refusal.empty()) {
        QMessageBox::warning(this, QString::fromUtf8(kProductCaption), FromStore(refusal));
        return;
    }
    const int row = m_members->Model().AppendRow(CommunityMemberRow(CommunityMember{id, {}, {}, {}, {}}));
    m_members->SelectOnly(row);
}

void CommunityHostDialog::RemoveMembers() {
    const std::vector<int> rows = m_members->SelectedRows();
    if (rows.empty())
        return;
    if (!AskYesNo(this, kProductCaption, kRemoveItemsQuestion.text, QMessageBox::NoIcon))
        return;
    std::vector<std::string> ids;
    for (const int row : rows)
        ids.push_back(ToStore(m_members->Model().Row(row)[kIdIndex]));
    if (const std::string refusal = RemoveCommunityMemberIds(ids); !refusal.empty()) {
        // The list no longer matches the store (sarvo-cli changed it meanwhile): show the store.
        QMessageBox::warning(this, QString::fromUtf8(kProductCaption), FromStore(refusal));
        FillMembers();
        return;
    }
    m_members->Model().RemoveRows(rows);
    UpdateControls();
}

void CommunityHostDialog::OpenMemberPage() {
    const std::vector<int> rows = m_members->SelectedRows();
    if (!rows.empty())
        m_shell.openAddress(m_members->Model().Row(rows.front())[kUrlIndex]);
}

void CommunityHostDialog::SaveHostInfo() {
    SetWebCommNameAsHost(ToStore(Trimmed(m_name)));
    SetWebCommDescAsHost(ToStore(Trimmed(m_description)));
}

}  // namespace sarvo::ui
