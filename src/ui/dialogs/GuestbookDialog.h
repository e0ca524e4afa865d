#pragma once

#include <vector>

#include "ui/dialogs/PropertyDialog.h"
#include "ui/dialogs/ShellActions.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace sarvo::ui {

class ReportList;

// Switches the guestbook and its alarm on and off, and shows, opens and deletes the received messages.
class GuestbookDialog : public PropertyDialog {
    Q_OBJECT

public:
    static constexpr int kIpColumnWidth = 90;
    static constexpr int kTimeColumnWidth = 120;
    static constexpr int kContentColumnWidth = 500;

    GuestbookDialog(QWidget* parent, ShellActions shell);

    // Reads the folder anew into the list, newest first.
    void FillMessages();

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    void ChooseFolder();
    void ReadMessage();
    void DeleteMessages();

    ShellActions m_shell;
    QLineEdit* m_folder;
    QCheckBox* m_enable;
    QCheckBox* m_alarm;
    ReportList* m_messages;
    QPushButton* m_read;
    QPushButton* m_delete;
};

}  // namespace sarvo::ui
