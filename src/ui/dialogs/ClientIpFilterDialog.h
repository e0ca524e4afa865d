#pragma once

#include "ui/dialogs/PropertyDialog.h"

class QListWidget;
class QPushButton;
class QRadioButton;

namespace sarvo::ui {

// The owner's IP filter: a list of address patterns and whether it forbids them, allows only them or
// is not used.
class ClientIpFilterDialog : public PropertyDialog {
    Q_OBJECT

public:
    explicit ClientIpFilterDialog(QWidget* parent);

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    void AddAddress();
    void EditAddress();
    void RemoveAddresses();

    QListWidget* m_list;
    QPushButton* m_add;
    QPushButton* m_edit;
    QPushButton* m_remove;
    QRadioButton* m_forbidden;
    QRadioButton* m_allowedOnly;
    QRadioButton* m_off;
};

}  // namespace sarvo::ui
