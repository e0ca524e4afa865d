#include "ui/ClientsListView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include <cstdio>

#include "server/AccessControl.h"
#include "store/SiteSettings.h"
#include "ui/Clipboard.h"
#include "ui/CommandItem.h"
#include "ui/Commands.h"
#include "ui/DialogUnits.h"
#include "ui/UiTexts.h"

namespace sarvo::ui {
namespace {

// Column widths in classic pixels; the object column takes what the others leave.
constexpr int kTimeWidth = 120;
constexpr int kIpWidth = 100;
constexpr int kActionWidth = 60;
constexpr int kProgressWidth = 100;
// The address is read back from the row as the owner sees it, at most this long.
constexpr int kAddressTextMax = 78;

}  // namespace

ClientsListView::ClientsListView(QWidget* parent) : QTreeView(parent) {
    setObjectName(QString::fromLatin1(kClientsListName));
    setModel(&m_model);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    const DialogUnits units(font());
    setColumnWidth(kClientTime, units.ScaledPixels(kTimeWidth));
    setColumnWidth(kClientIp, units.ScaledPixels(kIpWidth));
    setColumnWidth(kClientAction, units.ScaledPixels(kActionWidth));
    setColumnWidth(kClientProgress, units.ScaledPixels(kProgressWidth));
    header()->setSectionResizeMode(kClientObject, QHeaderView::Stretch);
    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const QModelIndex current = currentIndex();
        m_selectedSerial = current.isValid() && selectionModel()->isRowSelected(current.row(), {})
                               ? m_model.Row(current.row()).serial
                               : 0;
    });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        const int row = m_selectedSerial ? m_model.FindSerial(m_selectedSerial) : -1;
        if (row >= 0)
            selectionModel()->setCurrentIndex(
                m_model.index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    });
}

std::unique_ptr<QMenu> ClientsListView::CreateContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const bool selected = currentIndex().isValid() && selectionModel()->hasSelection();
    const bool forbiddenList = ReadIpFilterType() == kIpFilterForbidden;
    AddCommandItem(*menu, QString::fromLatin1(kMenuAddToBlockList), CMD_ADD_TO_BLOCK_LIST,
                   selected && forbiddenList);
    AddCommandItem(*menu, QString::fromLatin1(kMenuCopyIp), CMD_COPY_IP, selected);
    menu->addSeparator();
    AddCommandItem(*menu, QString::fromLatin1(kMenuClearList), CMD_CLEAR_LIST, m_model.rowCount() > 0);
    menu->addSeparator();
    AddCommandItem(*menu, QString::fromLatin1(kMenuOpenLogbook), CMD_CLIENTS_OPEN_LOGBOOK, true);
    return menu;
}

void ClientsListView::RunCommand(uint32_t command) {
    switch (command) {
        case CMD_ADD_TO_BLOCK_LIST:
            AddSelectedToBlockList();
            break;
        case CMD_COPY_IP:
            CopyTextToClipboard(SelectedAddress());
            break;
        case CMD_CLEAR_LIST:
            m_model.Clear();
            break;
        case CMD_CLIENTS_OPEN_LOGBOOK:
            emit commandPosted(CMD_OPEN_LOGBOOK);
            break;
        default:
            break;
    }
}

void ClientsListView::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu = CreateContextMenu();
    if (QAction* chosen = menu->exec(event->globalPos()))
        RunCommand(chosen->data().toUInt());
}

QString ClientsListView::SelectedAddress() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isRowSelected(current.row(), {}))
        return {};
    return m_model.Row(current.row()).address.left(kAddressTextMax);
}

void ClientsListView::AddSelectedToBlockList() {
    const QByteArray text = SelectedAddress().toLatin1();
    unsigned parts[4];
    char separators[3];
    if (std::sscanf(text.constData(), "%u%c%u%c%u%c%u", &parts[0], &separators[0], &parts[1], &separators[1],
                    &parts[2], &separators[2], &parts[3]) != 7)
        return;
    IpPattern address;
    for (size_t i = 0; i < address.size(); ++i)
        address[i] = static_cast<uint8_t>(parts[i] % 256);
    AddToIpFilterList(address);
}

}  // namespace sarvo::ui
