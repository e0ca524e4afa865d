#include "ui/dialogs/EnterTextDialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {

EnterTextDialog::EnterTextDialog(QWidget* parent, int minimumLength)
    : PropertyDialog(parent, kEnterTextCaption), m_minimumLength(minimumLength) {
    auto* layout = new QVBoxLayout(this);
    m_edit = NamedLineEdit(kEnterTextField, kMaxLength, this);
    m_edit->setMinimumWidth(280);
    layout->addWidget(m_edit);
    AddButtons(layout);
    UpdateControlsOn(m_edit, &QLineEdit::textChanged);
    Start();
}

void EnterTextDialog::Load() {
    m_edit->setFocus();
}

void EnterTextDialog::UpdateControls() {
    OkButton()->setEnabled(Trimmed(m_edit).size() >= m_minimumLength);
}

void EnterTextDialog::Save() {
    m_text = Trimmed(m_edit);
}

}  // namespace sarvo::ui
