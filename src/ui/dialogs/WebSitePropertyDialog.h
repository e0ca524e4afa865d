#pragma once

#include <QString>

#include <functional>

#include "ui/dialogs/PropertyDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace sarvo::ui {

// What the dialog asks of the rest of the desktop program: the desktop shortcut, the uninstall and the
// guestbook dialog. A missing function leaves its control disabled.
struct WebSitePropertyActions {
    std::function<bool()> desktopShortcutExists;
    std::function<bool()> createDesktopShortcut;
    std::function<bool()> deleteDesktopShortcut;
    // Asks the owner, removes the program and ends the process; returns when the owner says no.
    std::function<void(QWidget* parent)> uninstall;
    std::function<void(QWidget* parent)> openGuestbook;
};

// The server's address, port and priority, logging, the desktop icon, uninstalling, and the doors to the
// site's other property dialogs. While the server runs, address, port and priority stay as they are.
class WebSitePropertyDialog : public PropertyDialog {
    Q_OBJECT

public:
    static constexpr int kPortMaxLength = 5;
    static constexpr unsigned kMaxPort = 65535;

    WebSitePropertyDialog(QWidget* parent, WebSitePropertyActions actions);

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    void LoadAddresses(uint32_t selected);
    void SavePriority();

    WebSitePropertyActions m_actions;
    bool m_serverRunning = false;
    QComboBox* m_address;
    QLineEdit* m_port;
    QRadioButton* m_idle;
    QRadioButton* m_normal;
    QCheckBox* m_keepLog;
    QCheckBox* m_skipThisComputer;
    QCheckBox* m_desktopIcon;
    QPushButton* m_guestbook;
    QPushButton* m_uninstall;
};

// The port field's number: its decimal digits up to the first non-digit (0 when it starts otherwise).
unsigned PortFieldValue(const QString& text);

}  // namespace sarvo::ui
