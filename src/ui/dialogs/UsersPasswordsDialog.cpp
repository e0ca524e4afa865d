#include "ui/dialogs/UsersPasswordsDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "store/SiteSettings.h"
#include "store/Users.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"
#include "ui/dialogs/UserPasswordDialog.h"

namespace sarvo::ui {
namespace {

constexpr int kNameIndex = 0;
constexpr int kPasswordIndex = 1;

QString CellText(const QTableWidget* list, int row, int column) {
    const QTableWidgetItem* item = list->item(row, column);
    return item ? item->text() : QString();
}

}  // namespace

UsersPasswordsDialog::UsersPasswordsDialog(QWidget* parent)
    : PropertyDialog(parent, kUsersPasswordsCaption, SaveOn::AnyClose) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    m_list = new QTableWidget(0, 2, this);
    m_list->setObjectName(kUsersList);
    m_list->setHorizontalHeaderLabels(
        {QString::fromUtf8(kNameColumn.text), QString::fromUtf8(kPasswordColumn.text)});
    m_list->verticalHeader()->hide();
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->horizontalHeader()->resizeSection(kNameIndex, kNameColumnWidth);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setMinimumSize(320, 180);
    m_add = NamedButton(kAddButton, this);
    m_edit = NamedButton(kEditButton, this);
    m_remove = NamedButton(kRemoveButton, this);
    top->addWidget(m_list, 0, 0, 4, 1);
    top->addWidget(m_add, 0, 1);
    top->addWidget(m_edit, 1, 1);
    top->addWidget(m_remove, 2, 1);
    top->setRowStretch(3, 1);
    layout->addLayout(top);
    m_enable = NamedCheckBox(kEnablePassword, this);
    layout->addWidget(m_enable);
    AddButtons(layout, Buttons::Close);

    connect(m_add, &QPushButton::clicked, this, &UsersPasswordsDialog::AddUser);
    connect(m_edit, &QPushButton::clicked, this, &UsersPasswordsDialog::EditUser);
    connect(m_remove, &QPushButton::clicked, this, &UsersPasswordsDialog::RemoveUsers);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, &UsersPasswordsDialog::EditUser);
    UpdateControlsOn(m_list, &QTableWidget::itemSelectionChanged);
    Start();
}

void UsersPasswordsDialog::Load() {
    std::vector<std::pair<QString, QString>> users;
    std::string name;
    std::string password;
    for (int index = 0; EnumerateUser(index, name, password); ++index)
        users.emplace_back(FromStore(name), FromStore(password));
    std::stable_sort(users.begin(), users.end(), [](const auto& a, const auto& b) {
        return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    m_list->setRowCount(static_cast<int>(users.size()));
    for (size_t row = 0; row < users.size(); ++row)
        SetRow(static_cast<int>(row), users[row].first, users[row].second);
    m_enable->setChecked(UsePasswords());
}

void UsersPasswordsDialog::UpdateControls() {
    const qsizetype selected = SelectedRows().size();
    m_remove->setEnabled(selected >= 1);
    m_edit->setEnabled(selected == 1);
}

void UsersPasswordsDialog::Save() {
    RemoveAllUsers();
    for (int row = 0; row < m_list->rowCount(); ++row)
        SetUser(ToStore(CellText(m_list, row, kNameIndex)), ToStore(CellText(m_list, row, kPasswordIndex)));
    SetUsePasswords(m_enable->isChecked());
}

void UsersPasswordsDialog::AddUser() {
    UserPasswordDialog editor(this, QString(), QString());
    if (editor.exec() != QDialog::Accepted)
        return;
    const int row = m_list->rowCount();
    m_list->insertRow(row);
    SetRow(row, editor.UserName(), editor.Password());
    m_list->clearSelection();
    m_list->selectRow(row);
    m_list->scrollToItem(m_list->item(row, kNameIndex));
    UpdateControls();
}

void UsersPasswordsDialog::EditUser() {
    const QList<int> rows = SelectedRows();
    if (rows.size() != 1)
        return;
    const int row = rows.first();
    UserPasswordDialog editor(this, CellText(m_list, row, kNameIndex), CellText(m_list, row, kPasswordIndex));
    if (editor.exec() != QDialog::Accepted)
        return;
    SetRow(row, editor.UserName(), editor.Password());
}

void UsersPasswordsDialog::RemoveUsers() {
    QList<int> rows = SelectedRows();
    // From the bottom up, so that the row numbers still to remove stay valid.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (const int row : rows)
        m_list->removeRow(row);
    UpdateControls();
}

void UsersPasswordsDialog::SetRow(int row, const QString& name, const QString& password) {
    m_list->setItem(row, kNameIndex, new QTableWidgetItem(name));
    m_list->setItem(row, kPasswordIndex, new QTableWidgetItem(password));
}

QList<int> UsersPasswordsDialog::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows.append(index.row());
    return rows;
}

}  // namespace sarvo::ui
