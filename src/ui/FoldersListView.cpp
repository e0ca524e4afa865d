#include "ui/FoldersListView.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMenu>
#include <QToolTip>
#include <QUrl>

#include <algorithm>

#include "server/HttpServer.h"
#include "server/RequestHandlers.h"
#include "services/Webchat.h"
#include "store/Folders.h"
#include "store/SiteSettings.h"
#include "ui/CommandItem.h"
#include "ui/Commands.h"
#include "ui/FilesListView.h"
#include "ui/OwnerDialogTools.h"
#include "ui/OwnerMessages.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"
#include "ui/dialogs/CommunityHostDialog.h"
#include "ui/dialogs/CommunityMemberDialog.h"
#include "ui/dialogs/FolderPropertyDialog.h"
#include "ui/dialogs/StartWebchatDialog.h"
#include "ui/dialogs/WebchatManagementDialog.h"

namespace sarvo::ui {

FoldersListView::FoldersListView(FilesListView& files, QWidget* parent) : QTreeView(parent), m_files(files) {
    setObjectName(QString::fromLatin1(kFoldersListName));
    setModel(&m_model);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setIconSize(QSize(33, 16));
    m_model.Fill();
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        QMetaObject::invokeMethod(this, &FoldersListView::RefillFiles, Qt::QueuedConnection);
        emit commandPosted(CMD_REFRESH_URL_FOLDER_SELECTION);
    });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this] { QMetaObject::invokeMethod(this, &FoldersListView::RefillFiles, Qt::QueuedConnection); });
}

int FoldersListView::FirstSelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    return std::min_element(rows.begin(), rows.end(),
                            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); })
        ->row();
}

QList<int> FoldersListView::SelectedRowsDescending() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    return rows;
}

bool FoldersListView::HasSelection() const {
    return FirstSelectedRow() >= 0;
}

FolderRowKind FoldersListView::SelectedKind() const {
    const int row = FirstSelectedRow();
    return row < 0 ? FolderRowKind::Folder : KindOfFolderRow(m_model.Text(row));
}

std::string FoldersListView::UrlOfSelection(const std::string& baseUrl) const {
    const int row = FirstSelectedRow();
    if (row < 0)
        return baseUrl;
    switch (KindOfFolderRow(m_model.Text(row))) {
        case FolderRowKind::DynamicFiles:
            return baseUrl;
        case FolderRowKind::Webchat:
            return ChatRoomIsOpen() ? baseUrl + kWebchatUrlPath : baseUrl;
        case FolderRowKind::WebCommunity:
            return IsWebCommHost() || IsWebCommMember() ? baseUrl + kWebCommunityUrlPath : baseUrl;
        case FolderRowKind::Folder:
        case FolderRowKind::FolderWithSubfolders:
            break;
    }
    return baseUrl + ToAnsi(m_model.Text(row)) + "/";
}

std::unique_ptr<QMenu> FoldersListView::CreateContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const bool selected = HasSelection();
    switch (SelectedKind()) {
        case FolderRowKind::DynamicFiles: {
            AddCommandItem(*menu, QString::fromLatin1(kMenuAddFiles), CMD_ADD_FILES, true);
            QAction* allow =
                AddCommandItem(*menu, QString::fromLatin1(kMenuAllowListFiles), CMD_ALLOW_LIST_FILES, true);
            allow->setCheckable(true);
            allow->setChecked(IsDynamicFolderVisible());
            break;
        }
        case FolderRowKind::Folder:
        case FolderRowKind::FolderWithSubfolders:
            AddCommandItem(*menu, QString::fromLatin1(kMenuAddFolder), CMD_ADD_FOLDER, true);
            AddCommandItem(*menu, QString::fromLatin1(kMenuFolderProperty), CMD_FOLDER_PROPERTY, selected);
            AddCommandItem(*menu, QString::fromLatin1(kMenuRemoveFolders), CMD_REMOVE_FOLDERS, selected);
            AddCommandItem(*menu, QString::fromLatin1(kMenuStartExplorer), CMD_START_EXPLORER, selected);
            break;
        case FolderRowKind::Webchat: {
            const bool running = IsServerRunning();
            const bool open = ChatRoomIsOpen();
            AddCommandItem(*menu, QString::fromLatin1(kMenuStartWebchat), CMD_START_WEBCHAT,
                           running && !open);
            AddCommandItem(*menu, QString::fromLatin1(kMenuManageWebchat), CMD_MANAGE_WEBCHAT, true);
            AddCommandItem(*menu, QString::fromLatin1(kMenuStopWebchat), CMD_STOP_WEBCHAT, running && open);
            break;
        }
        case FolderRowKind::WebCommunity:
            AddCommandItem(*menu, QString::fromLatin1(kMenuAsHost), CMD_COMMUNITY_HOST, true);
            AddCommandItem(*menu, QString::fromLatin1(kMenuAsMember), CMD_COMMUNITY_MEMBER, true);
            break;
    }
    return menu;
}

void FoldersListView::RunCommand(uint32_t command) {
    switch (command) {
        case CMD_ADD_FILES:
            m_files.RunCommand(CMD_ADD_FILES);
            break;
        case CMD_ALLOW_LIST_FILES:
            ToggleDynamicFolderVisible();
            break;
        case CMD_ADD_FOLDER:
            AddFolder();
            break;
        case CMD_FOLDER_PROPERTY:
            EditSelectedFolder();
            break;
        case CMD_REMOVE_FOLDERS:
            RemoveSelectedFolders();
            break;
        case CMD_START_EXPLORER:
            OpenSelectedFolderLocation();
            break;
        case CMD_START_WEBCHAT:
            StartWebchat();
            break;
        case CMD_STOP_WEBCHAT:
            StopChatRoom();
            break;
        case CMD_MANAGE_WEBCHAT:
            ManageWebchat();
            break;
        case CMD_COMMUNITY_HOST:
            OpenCommunityDialog<CommunityHostDialog>();
            break;
        case CMD_COMMUNITY_MEMBER:
            OpenCommunityDialog<CommunityMemberDialog>();
            break;
        default:
            break;
    }
}

void FoldersListView::RefillFiles() {
    const int row = FirstSelectedRow();
    if (row < 0) {
        m_files.Model().Clear();
        return;
    }
    const QString& text = m_model.Text(row);
    switch (KindOfFolderRow(text)) {
        case FolderRowKind::DynamicFiles:
            m_files.ShowPublishedFiles();
            return;
        case FolderRowKind::Folder:
        case FolderRowKind::FolderWithSubfolders:
            m_files.ShowPublishedFolder(ToAnsi(text),
                                        KindOfFolderRow(text) == FolderRowKind::FolderWithSubfolders);
            return;
        default:
            m_files.Model().Clear();
            return;
    }
}

void FoldersListView::OnChatCommand(uint32_t command) {
    if (command == CMD_WEBCHAT_STARTED || command == CMD_WEBCHAT_STOPPED) {
        emit commandPosted(CMD_REFRESH_URL_FOLDER_SELECTION);
        m_model.RefreshImages();
    }
    if (m_management)
        m_management->OnChatCommand(command);
}

void FoldersListView::contextMenuEvent(QContextMenuEvent* event) {
    if (!viewport()->rect().contains(viewport()->mapFromGlobal(event->globalPos())))
        return;
    std::unique_ptr<QMenu> menu = CreateContextMenu();
    if (QAction* chosen = menu->exec(event->globalPos()))
        RunCommand(chosen->data().toUInt());
}

void FoldersListView::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    emit commandPosted(CMD_REFRESH_URL_FOLDER_FOCUS);
}

bool FoldersListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString tip = index.isValid() ? m_model.data(index, Qt::ToolTipRole).toString()
                                            : QString::fromLatin1(kTextListTip);
        const QRect area = index.isValid() ? visualRect(index) : viewport()->rect();
        QToolTip::showText(help->globalPos(), tip, viewport(), area);
        return true;
    }
    return QTreeView::viewportEvent(event);
}

void FoldersListView::SelectOnly(int row) {
    const QModelIndex index = m_model.index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void FoldersListView::AddFolder() {
    FolderPropertyDialog dialog(this, QString(), WindowFolderTools());
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_model.AppendFolder(dialog.FolderName());
    SelectOnly(m_model.rowCount() - 1);
}

void FoldersListView::EditSelectedFolder() {
    const int row = FirstSelectedRow();
    const FolderRowKind kind = SelectedKind();
    if (row < 0 || (kind != FolderRowKind::Folder && kind != FolderRowKind::FolderWithSubfolders))
        return;
    FolderPropertyDialog dialog(this, m_model.Text(row), WindowFolderTools());
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_model.RenameRow(row, dialog.FolderName());
    // The files list keeps a folder it shows already; under the same name the location or the
    // sub-folder permission may have changed, so it lists the folder anew.
    m_files.Model().Clear();
    RefillFiles();
    emit commandPosted(CMD_REFRESH_URL_FOLDER_SELECTION);
}

// The owner opens the room as its host, whose chat page this computer shows.
void FoldersListView::StartWebchat() {
    if (IsChatRoomOpen())
        return;
    StartWebchatDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted || !StartChatRoom(dialog.MaximumMembers()))
        return;
    emit commandPosted(CMD_OPEN_WEBCHAT_PAGE);
}

void FoldersListView::ManageWebchat() {
    WebchatManagementDialog dialog(this);
    m_management = &dialog;
    dialog.exec();
    m_management = nullptr;
}

// Either dialog may switch the server's community roles, which the row's picture and address show.
template <typename CommunityDialog>
void FoldersListView::OpenCommunityDialog() {
    CommunityDialog(this, WindowShellActions()).exec();
    m_model.RefreshImages();
    emit commandPosted(CMD_REFRESH_URL_FOLDER_SELECTION);
}

void FoldersListView::RemoveSelectedFolders() {
    const QList<int> rows = SelectedRowsDescending();
    if (rows.isEmpty())
        return;
    if (!AskYesNoInformation(this, QString::fromLatin1(kTextRemoveFolders)))
        return;
    for (int row : rows) {
        const FolderRowKind kind = KindOfFolderRow(m_model.Text(row));
        if (kind != FolderRowKind::Folder && kind != FolderRowKind::FolderWithSubfolders)
            continue;
        RemoveFolder(ToAnsi(m_model.Text(row)));
        m_model.RemoveRow(row);
    }
    RefillFiles();
}

void FoldersListView::OpenSelectedFolderLocation() {
    const int row = FirstSelectedRow();
    if (row < 0)
        return;
    std::string location;
    if (GetFolderLocation(ToAnsi(m_model.Text(row)), location))
        QDesktopServices::openUrl(QUrl::fromLocalFile(FromAnsi(location)));
}

void FoldersListView::ToggleDynamicFolderVisible() {
    SetDynamicFolderVisible(!IsDynamicFolderVisible());
    m_model.RefreshImages();
}

}  // namespace sarvo::ui
