#pragma once

#include "ui/dialogs/PropertyDialog.h"

class QCheckBox;
class QListWidget;
class QPushButton;

namespace sarvo::ui {

// The list of addresses the server blocked by itself, and the switch that puts it in force.
class AutoBlockerDialog : public PropertyDialog {
    Q_OBJECT

public:
    explicit AutoBlockerDialog(QWidget* parent);

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    QListWidget* m_list;
    QCheckBox* m_enable;
    QPushButton* m_remove;
};

}  // namespace sarvo::ui
