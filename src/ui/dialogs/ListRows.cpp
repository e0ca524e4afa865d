#include "ui/dialogs/ListRows.h"

#include <QItemSelectionModel>
#include <QListWidget>

#include <vector>

namespace sarvo::ui {

void RemoveSelectedRows(QListWidget* list) {
    // One look at the selection: asking each row whether it is selected walks every selected range,
    // and rows picked one by one are ranges of their own.
    std::vector<bool> selected(static_cast<size_t>(list->count()), false);
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes())
        selected[static_cast<size_t>(index.row())] = true;
    QList<QListWidgetItem*> kept;
    for (int row = 0; row < list->count(); ++row) {
        if (!selected[static_cast<size_t>(row)])
            kept.append(list->item(row)->clone());
    }
    list->clear();
    for (QListWidgetItem* item : kept)
        list->addItem(item);
}

}  // namespace sarvo::ui
