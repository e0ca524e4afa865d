#include "ui/dialogs/StartWebchatDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "services/Webchat.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"

namespace sarvo::ui {

StartWebchatDialog::StartWebchatDialog(QWidget* parent) : PropertyDialog(parent, kStartWebchatCaption) {
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_number = NamedLineEdit(kMaximumMembersLabel, kMaxDigits, this);
    m_number->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), m_number));
    m_number->setMaximumWidth(m_number->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
    row->addWidget(LabelFor(kMaximumMembersLabel, m_number, this));
    row->addWidget(m_number);
    row->addStretch(1);
    layout->addLayout(row);
    AddButtons(layout);
    UpdateControlsOn(m_number, &QLineEdit::textChanged);
    Start();
}

void StartWebchatDialog::Load() {
    m_number->setText(QString::number(kDefaultChatMembers));
    m_number->selectAll();
    m_number->setFocus();
}

void StartWebchatDialog::UpdateControls() {
    OkButton()->setEnabled(m_number->text().toUInt() >= kMinChatMembers);
}

void StartWebchatDialog::Save() {
    m_members = m_number->text().toUInt();
}

}  // namespace sarvo::ui
