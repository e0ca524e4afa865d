#pragma once

#include <QString>

#include "ui/dialogs/PropertyDialog.h"

class QLineEdit;

namespace sarvo::ui {

// One user of Basic authentication. Stores nothing: the opener reads the trimmed texts after OK.
class UserPasswordDialog : public PropertyDialog {
    Q_OBJECT

public:
    static constexpr int kMaxLength = 250;
    static constexpr int kMinUserName = 3;
    static constexpr int kMinPassword = 6;

    UserPasswordDialog(QWidget* parent, const QString& userName, const QString& password);

    const QString& UserName() const { return m_userName; }
    const QString& Password() const { return m_password; }

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    QLineEdit* m_userEdit;
    QLineEdit* m_passwordEdit;
    QString m_userName;
    QString m_password;
};

}  // namespace sarvo::ui
