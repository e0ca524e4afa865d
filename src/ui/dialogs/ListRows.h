#pragma once

class QListWidget;

namespace sarvo::ui {

// Removes every selected row of list in one pass, keeping the order and data of the others. The
// auto-block list grows with visitors: deleting ten thousand rows one at a time takes seconds, while
// rebuilding the list from the rows kept takes about a tenth of one.
void RemoveSelectedRows(QListWidget* list);

}  // namespace sarvo::ui
