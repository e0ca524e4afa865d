#pragma once

#include <QString>

#include "ui/dialogs/PropertyDialog.h"

class QLineEdit;

namespace sarvo::ui {

// Asks for the ID of a new member of this server's web community. Stores nothing: the host dialog
// stores the member.
class AddMemberDialog : public PropertyDialog {
    Q_OBJECT

public:
    explicit AddMemberDialog(QWidget* parent);

    // The trimmed ID after OK.
    const QString& MemberId() const { return m_id; }

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    QLineEdit* m_edit;
    QString m_id;
};

}  // namespace sarvo::ui
