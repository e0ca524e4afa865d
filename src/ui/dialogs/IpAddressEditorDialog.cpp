#include "ui/dialogs/IpAddressEditorDialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"

namespace sarvo::ui {
namespace {

IpFields FieldsOf(const QLineEdit* edit) {
    return ParseIpFields(edit->text().toStdString());
}

}  // namespace

IpAddressEditorDialog::IpAddressEditorDialog(QWidget* parent, const IpFields& address)
    : PropertyDialog(parent, kIpAddressEditorCaption), m_fields(address) {
    auto* layout = new QVBoxLayout(this);
    m_address = NamedLineEdit(kIpAddressField, kMaxLength, this);
    m_address->setMinimumWidth(
        m_address->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255  ")));
    layout->addWidget(m_address);
    AddButtons(layout);
    UpdateControlsOn(m_address, &QLineEdit::textChanged);
    Start();
}

void IpAddressEditorDialog::Load() {
    const bool allZero = m_fields == IpFields{};
    m_address->setText(allZero ? QString() : QString::fromStdString(FormatIpFields(m_fields)));
    m_address->setFocus();
}

void IpAddressEditorDialog::UpdateControls() {
    OkButton()->setEnabled(IsAcceptableIpFields(FieldsOf(m_address)));
}

void IpAddressEditorDialog::Save() {
    m_fields = FieldsOf(m_address);
}

}  // namespace sarvo::ui
