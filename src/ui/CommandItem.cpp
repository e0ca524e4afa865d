#include "ui/CommandItem.h"

#include <QAction>
#include <QMenu>

namespace sarvo::ui {

QAction* AddCommandItem(QMenu& menu, const QString& text, uint32_t command, bool enabled) {
    QAction* action = menu.addAction(text);
    action->setData(command);
    action->setObjectName(text);
    action->setEnabled(enabled);
    return action;
}

}  // namespace sarvo::ui
