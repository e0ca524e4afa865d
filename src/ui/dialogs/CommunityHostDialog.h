#pragma once

#include "ui/dialogs/PropertyDialog.h"
#include "ui/dialogs/ShellActions.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace sarvo::ui {

class ReportList;

// This server as a web community host: its members, the switch, and the name and description the
// members are told. Every change is stored as it is made; Close stores nothing further.
class CommunityHostDialog : public PropertyDialog {
    Q_OBJECT

public:
    CommunityHostDialog(QWidget* parent, ShellActions shell);

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    void FillMembers();
    void AddMember();
    void RemoveMembers();
    void OpenMemberPage();
    void SaveHostInfo();

    ShellActions m_shell;
    ReportList* m_members;
    QCheckBox* m_enable;
    QLineEdit* m_name;
    QLineEdit* m_description;
    QPushButton* m_save;
    QPushButton* m_remove;
    QPushButton* m_open;
};

}  // namespace sarvo::ui
