#pragma once

#include <cstdint>

class QAction;
class QMenu;
class QString;

// The commands whose dialogs, or whose services, are not part of the program yet. Their menu items
// are shown greyed, so the window keeps its full arrangement; each leaves this list when its
// dialog arrives.
namespace sarvo::ui {

bool IsAwaitingDialog(uint32_t command);

// A menu item carrying its command id as data, enabled when the menu's rule allows and its dialog
// exists.
QAction* AddCommandItem(QMenu& menu, const QString& text, uint32_t command, bool enabledByRule);

}  // namespace sarvo::ui
