#pragma once

#include "ui/dialogs/PropertyDialog.h"

class QLineEdit;

namespace sarvo::ui {

// Asks how many members the chat room takes; the opener opens the room with the number. Stores nothing.
class StartWebchatDialog : public PropertyDialog {
    Q_OBJECT

public:
    static constexpr int kMaxDigits = 3;

    explicit StartWebchatDialog(QWidget* parent);

    // The number after OK.
    unsigned MaximumMembers() const { return m_members; }

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    QLineEdit* m_number;
    unsigned m_members = 0;
};

}  // namespace sarvo::ui
