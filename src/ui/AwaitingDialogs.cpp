#include "ui/AwaitingDialogs.h"

#include <QAction>
#include <QMenu>

#include <algorithm>
#include <array>

#include "ui/Commands.h"

namespace sarvo::ui {
namespace {

// FIXME: the logbook viewer and the webchat and community dialogs are still to come; the chat room's
// start and stop arrive with them.
constexpr std::array kAwaitingCommands = {
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

}  // namespace sarvo::ui
