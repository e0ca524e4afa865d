#pragma once

#include <QTreeView>

#include <cstdint>
#include <memory>

#include "ui/ClientsListModel.h"

class QMenu;

namespace sarvo::ui {

// The "Clients" list ("List3"): recent connections over a ClientsListModel, with a menu to block or
// copy a client's address, clear the list or open the logbook.
class ClientsListView : public QTreeView {
    Q_OBJECT
public:
    explicit ClientsListView(QWidget* parent = nullptr);

    ClientsListModel& Model() { return m_model; }

    // The context menu with each item's state for the current selection and settings.
    std::unique_ptr<QMenu> CreateContextMenu();
    void RunCommand(uint32_t command);

signals:
    // A command for the main window (the logbook).
    void commandPosted(uint32_t command);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QString SelectedAddress() const;
    void AddSelectedToBlockList();

    ClientsListModel m_model;
    uint64_t m_selectedSerial = 0;  // the selected row, kept across the model's resets
};

}  // namespace sarvo::ui
