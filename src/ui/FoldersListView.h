#pragma once

#include <QPointer>
#include <QTreeView>

#include <cstdint>
#include <memory>
#include <string>

#include "ui/FoldersListModel.h"

class QMenu;

namespace sarvo::ui {

class FilesListView;
class WebchatManagementDialog;

// The folders list ("List1"): what the site publishes. Its selection decides what the files list
// shows and which address the URL field gives.
class FoldersListView : public QTreeView {
    Q_OBJECT
public:
    FoldersListView(FilesListView& files, QWidget* parent = nullptr);

    FoldersListModel& Model() { return m_model; }

    // The kind of the first selected row; a folder when nothing is selected.
    FolderRowKind SelectedKind() const;
    bool HasSelection() const;
    // The address of the first selected row below the site's base URL.
    std::string UrlOfSelection(const std::string& baseUrl) const;

    std::unique_ptr<QMenu> CreateContextMenu();
    void RunCommand(uint32_t command);

    // Shows what lies behind the selected row in the files list.
    void RefillFiles();
    // The chat room's posts: it opened, it closed, a disconnect is done. The Webchat Management dialog,
    // while open, gets them too.
    void OnChatCommand(uint32_t command);

signals:
    // A command for the main window (the URL field's refresh, the chat page).
    void commandPosted(uint32_t command);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    int FirstSelectedRow() const;
    QList<int> SelectedRowsDescending() const;
    void SelectOnly(int row);
    void AddFolder();
    void EditSelectedFolder();
    void StartWebchat();
    void ManageWebchat();
    template <typename CommunityDialog>
    void OpenCommunityDialog();
    void RemoveSelectedFolders();
    void OpenSelectedFolderLocation();
    void ToggleDynamicFolderVisible();

    FoldersListModel m_model;
    FilesListView& m_files;
    QPointer<WebchatManagementDialog> m_management;
};

}  // namespace sarvo::ui
