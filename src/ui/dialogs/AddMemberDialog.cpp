#include "ui/dialogs/AddMemberDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "services/CommunityOwner.h"
#include "store/CommunityRecords.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {

AddMemberDialog::AddMemberDialog(QWidget* parent) : PropertyDialog(parent, kAddMemberCaption) {
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QString::fromUtf8(kAddMemberNote), this);
    note->setWordWrap(true);
    layout->addWidget(note);
    m_edit = NamedLineEdit(kMemberIdLabel, static_cast<int>(kCommunityIdMax), this);
    m_edit->setMinimumWidth(320);
    layout->addWidget(LabelFor(kMemberIdLabel, m_edit, this));
    layout->addWidget(m_edit);
    AddButtons(layout);
    UpdateControlsOn(m_edit, &QLineEdit::textChanged);
    Start();
}

void AddMemberDialog::Load() {
    m_edit->setFocus();
}

void AddMemberDialog::UpdateControls() {
    const QString id = Trimmed(m_edit);
    OkButton()->setEnabled(static_cast<size_t>(ToStore(id).size()) >= kNewMemberIdMin &&
                           !FindCommunityMember(ToStore(id)));
}

void AddMemberDialog::Save() {
    m_id = Trimmed(m_edit);
}

}  // namespace sarvo::ui
