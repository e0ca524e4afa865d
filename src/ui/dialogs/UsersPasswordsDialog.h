#pragma once

#include "ui/dialogs/PropertyDialog.h"

class QCheckBox;
class QPushButton;
class QTableWidget;

namespace sarvo::ui {

// The users of Basic authentication and the switch that requires it. There is no Cancel: every close,
// the caption's close button included, stores the list as shown.
class UsersPasswordsDialog : public PropertyDialog {
    Q_OBJECT

public:
    static constexpr int kNameColumnWidth = 120;

    explicit UsersPasswordsDialog(QWidget* parent);

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    void AddUser();
    void EditUser();
    void RemoveUsers();
    void SetRow(int row, const QString& name, const QString& password);
    QList<int> SelectedRows() const;

    QTableWidget* m_list;
    QCheckBox* m_enable;
    QPushButton* m_add;
    QPushButton* m_edit;
    QPushButton* m_remove;
};

}  // namespace sarvo::ui
