#pragma once

#include "ui/dialogs/PropertyDialog.h"
#include "ui/dialogs/ShellActions.h"

class QCheckBox;
class QPushButton;

namespace sarvo::ui {

class ReportList;

// The web communities this server is a member of, and the switch. Every change is stored as it is
// made; every close wakes the login thread, so that a changed list is used at once.
class CommunityMemberDialog : public PropertyDialog {
    Q_OBJECT

public:
    CommunityMemberDialog(QWidget* parent, ShellActions shell);

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    void FillHosts();
    void AddHost();
    void EditHost();
    void RemoveHosts();
    void OpenHostPage();

    ShellActions m_shell;
    ReportList* m_hosts;
    QCheckBox* m_enable;
    QPushButton* m_edit;
    QPushButton* m_remove;
    QPushButton* m_open;
};

}  // namespace sarvo::ui
