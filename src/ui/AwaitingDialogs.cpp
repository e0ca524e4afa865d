#include "ui/AwaitingDialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>

#include <algorithm>
#include <array>

#include "ui/Commands.h"

namespace sarvo::ui {
namespace {

// FIXME: the property dialogs, the logbook viewer and the webchat and community dialogs are still to
// come; the chat room's start and stop arrive with them.
constexpr std::array kAwaitingCommands = {
    CMD_SERVER_PROPERTY,  CMD_ADD_FOLDER,   CMD_FOLDER_PROPERTY,      CMD_FILE_PROPERTY,
    CMD_START_WEBCHAT,    CMD_STOP_WEBCHAT, CMD_MANAGE_WEBCHAT,       CMD_COMMUNITY_HOST,
    CMD_COMMUNITY_MEMBER, CMD_OPEN_LOGBOOK, CMD_CLIENTS_OPEN_LOGBOOK,
};

}  // namespace

bool IsAwaitingDialog(uint32_t command) {
    return std::find(kAwaitingCommands.begin(), kAwaitingCommands.end(), command) != kAwaitingCommands.end();
}

QAction* AddCommandItem(QMenu& menu, const QString& text, uint32_t command, bool enabledByRule) {
    QAction* action = menu.addAction(text);
    action->setData(command);
    action->setObjectName(text);
    action->setEnabled(enabledByRule && !IsAwaitingDialog(command));
    return action;
}

void ApplyAwaitingState(QAbstractButton& button, uint32_t command) {
    if (IsAwaitingDialog(command))
        button.setEnabled(false);
}

}  // namespace sarvo::ui
