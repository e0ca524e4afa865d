#include "ui/dialogs/ClientIpFilterDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "server/AccessControl.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/IpAddressEditorDialog.h"
#include "ui/dialogs/ListRows.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {
namespace {

IpFields RowFields(const QListWidgetItem* row) {
    return ParseIpFields(ToStore(row->text()));
}

}  // namespace

ClientIpFilterDialog::ClientIpFilterDialog(QWidget* parent) : PropertyDialog(parent, kClientIpFilterCaption) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    m_list = new QListWidget(this);
    m_list->setObjectName(kIpFilterList);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setMinimumSize(200, 150);
    m_add = NamedButton(kAddButton, this);
    m_edit = NamedButton(kEditButton, this);
    m_remove = NamedButton(kRemoveButton, this);
    top->addWidget(m_list, 0, 0, 4, 1);
    top->addWidget(m_add, 0, 1);
    top->addWidget(m_edit, 1, 1);
    top->addWidget(m_remove, 2, 1);
    top->setRowStretch(3, 1);
    layout->addLayout(top);

    m_forbidden = NamedRadio(kForbiddenList, this);
    m_allowedOnly = NamedRadio(kAllowedOnlyList, this);
    m_off = NamedRadio(kFilterOff, this);
    layout->addWidget(m_forbidden);
    layout->addWidget(m_allowedOnly);
    layout->addWidget(m_off);
    layout->addWidget(new QLabel(QString::fromUtf8(kAnyNumberNote), this));
    AddButtons(layout);

    connect(m_add, &QPushButton::clicked, this, &ClientIpFilterDialog::AddAddress);
    connect(m_edit, &QPushButton::clicked, this, &ClientIpFilterDialog::EditAddress);
    connect(m_remove, &QPushButton::clicked, this, &ClientIpFilterDialog::RemoveAddresses);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &ClientIpFilterDialog::EditAddress);
    UpdateControlsOn(m_list, &QListWidget::itemSelectionChanged);
    Start();
}

void ClientIpFilterDialog::Load() {
    const std::vector<uint8_t> list = ReadIpFilterList();
    for (size_t i = 0; i + kIpEntrySize <= list.size(); i += kIpEntrySize)
        m_list->addItem(FromStore(FormatIpBytes(list.data() + i)));
    switch (ReadIpFilterType()) {
        case kIpFilterForbidden:
            m_forbidden->setChecked(true);
            break;
        case kIpFilterAllowedOnly:
            m_allowedOnly->setChecked(true);
            break;
        default:
            m_off->setChecked(true);
            break;
    }
}

void ClientIpFilterDialog::UpdateControls() {
    const bool selected = !m_list->selectedItems().isEmpty();
    m_edit->setEnabled(selected);
    m_remove->setEnabled(selected);
}

void ClientIpFilterDialog::Save() {
    std::vector<uint8_t> list;
    for (int row = 0; row < m_list->count(); ++row) {
        for (const uint32_t field : RowFields(m_list->item(row)))
            list.push_back(static_cast<uint8_t>(field));
    }
    WriteIpFilterList(list);
    WriteIpFilterType(m_forbidden->isChecked()     ? kIpFilterForbidden
                      : m_allowedOnly->isChecked() ? kIpFilterAllowedOnly
                                                   : kIpFilterOff);
}

void ClientIpFilterDialog::AddAddress() {
    IpAddressEditorDialog editor(this, IpFields{});
    if (editor.exec() != QDialog::Accepted)
        return;
    const QString text = FromStore(FormatIpFields(editor.Fields()));
    if (!m_list->findItems(text, Qt::MatchExactly).isEmpty())
        return;
    m_list->addItem(text);
    UpdateControls();
}

void ClientIpFilterDialog::EditAddress() {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    QListWidgetItem* row =
        selected.contains(m_list->currentItem()) ? m_list->currentItem() : selected.first();
    IpAddressEditorDialog editor(this, RowFields(row));
    if (editor.exec() != QDialog::Accepted)
        return;
    // No duplicate test here: an edit may make two rows equal, and both are kept.
    row->setText(FromStore(FormatIpFields(editor.Fields())));
    UpdateControls();
}

void ClientIpFilterDialog::RemoveAddresses() {
    RemoveSelectedRows(m_list);
    UpdateControls();
}

}  // namespace sarvo::ui
