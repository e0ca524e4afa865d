#pragma once

#include <cstdint>

class QAction;
class QMenu;
class QString;

namespace sarvo::ui {

// A menu item carrying its command id as data and its text as object name, enabled when the menu's
// rule allows.
QAction* AddCommandItem(QMenu& menu, const QString& text, uint32_t command, bool enabled);

}  // namespace sarvo::ui
