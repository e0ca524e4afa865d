#pragma once

#include <cstdint>

#include "ui/dialogs/PropertyDialog.h"

class QPlainTextEdit;
class QPushButton;

namespace sarvo::ui {

class ReportList;

// The chat room's welcome message and its members, whom the owner can disconnect and block. Every close
// stores the welcome message.
class WebchatManagementDialog : public PropertyDialog {
    Q_OBJECT

public:
    static constexpr int kWelcomeMaxLength = 255;
    static constexpr int kIdColumnWidth = 100;
    static constexpr int kListWidth = 420;

    explicit WebchatManagementDialog(QWidget* parent);

    // The chat room's posts on its window channel, which the window that owns the channel hands on
    // while this dialog is open. CMD_WEBCHAT_MEMBERS_CHANGED ends a Disconnect or Block and refills
    // the list.
    void OnChatCommand(uint32_t command);
    bool IsBusy() const { return m_busy; }

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    void FillMembers();
    void CopyAddress();
    void Kick(bool block);
    void LimitWelcomeLength();

    QPlainTextEdit* m_welcome;
    ReportList* m_members;
    QPushButton* m_copy;
    QPushButton* m_disconnect;
    QPushButton* m_block;
    bool m_busy = false;
};

}  // namespace sarvo::ui
