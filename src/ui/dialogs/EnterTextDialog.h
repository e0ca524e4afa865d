#pragma once

#include <QString>

#include "ui/dialogs/PropertyDialog.h"

class QLineEdit;

namespace sarvo::ui {

// Asks for one text of at least a given length (the logbook's search text). Stores nothing.
class EnterTextDialog : public PropertyDialog {
    Q_OBJECT

public:
    static constexpr int kMaxLength = 254;

    EnterTextDialog(QWidget* parent, int minimumLength);

    // The text without its leading and trailing blanks.
    const QString& Text() const { return m_text; }

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    QLineEdit* m_edit;
    int m_minimumLength;
    QString m_text;
};

}  // namespace sarvo::ui
