#pragma once

#include "ui/dialogs/IpAddressText.h"
#include "ui/dialogs/PropertyDialog.h"

class QLineEdit;

namespace sarvo::ui {

// One address or pattern of the client IP filter. Stores nothing: the opener reads Fields after OK.
class IpAddressEditorDialog : public PropertyDialog {
    Q_OBJECT

public:
    static constexpr int kMaxLength = 15;

    // All four zero opens an empty field.
    IpAddressEditorDialog(QWidget* parent, const IpFields& address);

    const IpFields& Fields() const { return m_fields; }

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    QLineEdit* m_address;
    IpFields m_fields;
};

}  // namespace sarvo::ui
