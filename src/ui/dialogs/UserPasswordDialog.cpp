#include "ui/dialogs/UserPasswordDialog.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {

UserPasswordDialog::UserPasswordDialog(QWidget* parent, const QString& userName, const QString& password)
    : PropertyDialog(parent, kUserPasswordCaption), m_userName(userName), m_password(password) {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_userEdit = NamedLineEdit(kUserNameLabel, kMaxLength, this);
    m_userEdit->setMinimumWidth(240);
    // The owner reads the password back while typing it: it is shown in clear text.
    m_passwordEdit = NamedLineEdit(kPasswordLabel, kMaxLength, this);
    form->addRow(QString::fromUtf8(kUserNameLabel), m_userEdit);
    form->addRow(QString::fromUtf8(kPasswordLabel), m_passwordEdit);
    layout->addLayout(form);
    AddButtons(layout);
    UpdateControlsOn(m_userEdit, &QLineEdit::textChanged);
    UpdateControlsOn(m_passwordEdit, &QLineEdit::textChanged);
    Start();
}

void UserPasswordDialog::Load() {
    m_userEdit->setText(m_userName);
    m_passwordEdit->setText(m_password);
    m_userEdit->setFocus();
}

void UserPasswordDialog::UpdateControls() {
    OkButton()->setEnabled(Trimmed(m_userEdit).size() >= kMinUserName &&
                           Trimmed(m_passwordEdit).size() >= kMinPassword);
}

void UserPasswordDialog::Save() {
    m_userName = Trimmed(m_userEdit);
    m_password = Trimmed(m_passwordEdit);
}

}  // namespace sarvo::ui
