#include "ui/dialogs/AutoBlockerDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "server/AccessControl.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/IpAddressText.h"
#include "ui/dialogs/ListRows.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {
namespace {

// Each row keeps the stored bytes of its address, so that OK writes back exactly what was listed.
constexpr int kAddressRole = Qt::UserRole;

}  // namespace

AutoBlockerDialog::AutoBlockerDialog(QWidget* parent) : PropertyDialog(parent, kAutoBlockerCaption) {
    auto* layout = new QVBoxLayout(this);
    auto* explanation = new QLabel(QString::fromUtf8(kAutoBlockerExplanation), this);
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    auto* middle = new QGridLayout;
    m_list = new QListWidget(this);
    m_list->setObjectName(kAutoBlockList);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setMinimumSize(220, 160);
    m_remove = NamedButton(kRemoveButton, this);
    middle->addWidget(m_list, 0, 0, 2, 1);
    middle->addWidget(m_remove, 0, 1);
    middle->setRowStretch(1, 1);
    layout->addLayout(middle);

    m_enable = NamedCheckBox(kEnableAutoBlockList, this);
    layout->addWidget(m_enable);
    AddButtons(layout);
    setMinimumWidth(380);

    connect(m_remove, &QPushButton::clicked, this, [this] {
        RemoveSelectedRows(m_list);
        UpdateControls();
    });
    UpdateControlsOn(m_list, &QListWidget::itemSelectionChanged);
    Start();
}

void AutoBlockerDialog::Load() {
    const std::vector<uint8_t> list = ReadAutoBlockList();
    for (size_t i = 0; i + kIpEntrySize <= list.size(); i += kIpEntrySize) {
        auto* row = new QListWidgetItem(FromStore(FormatIpBytes(list.data() + i)), m_list);
        row->setData(kAddressRole, QByteArray(reinterpret_cast<const char*>(list.data() + i), kIpEntrySize));
    }
    m_enable->setChecked(UseAutoBlockList());
}

void AutoBlockerDialog::UpdateControls() {
    m_remove->setEnabled(!m_list->selectedItems().isEmpty());
}

void AutoBlockerDialog::Save() {
    std::vector<uint8_t> list;
    for (int index = 0; index < m_list->count(); ++index) {
        const QByteArray address = m_list->item(index)->data(kAddressRole).toByteArray();
        list.insert(list.end(), address.begin(), address.end());
    }
    WriteAutoBlockList(list);
    SetUseAutoBlockList(m_enable->isChecked());
}

}  // namespace sarvo::ui
