#pragma once

#include <QStringList>
#include <QTreeView>

#include <cstdint>
#include <memory>
#include <string>

#include "ui/FilesListModel.h"

class QMenu;

namespace sarvo::ui {

// The files list ("List2"): the published single files, or a directory of the selected published
// folder, which the owner can walk through by double clicks when the folder opens its sub-folders.
class FilesListView : public QTreeView {
    Q_OBJECT
public:
    explicit FilesListView(QWidget* parent = nullptr);

    FilesListModel& Model() { return m_model; }

    void ShowPublishedFiles();
    // The folder's own location, unless that folder is shown already with the same permission (then
    // the sub-folder the owner has opened stays).
    void ShowPublishedFolder(const std::string& folderName, bool subfoldersAllowed);

    bool HasSelection() const;
    // The address of the first selected row below the site's base URL.
    std::string UrlOfSelection(const std::string& baseUrl) const;

    // The menu as it would show with the cursor over the given row (-1: over no row); null outside the
    // published files.
    std::unique_ptr<QMenu> CreateContextMenu(int rowUnderCursor);
    void RunCommand(uint32_t command);
    // Publishes each file and adds its row; the last one added becomes the only selected row.
    void AddFiles(const QStringList& paths);

signals:
    // A command for the main window (the URL field's refresh).
    void commandPosted(uint32_t command);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void ShowListing(const std::string& folderName, const std::string& directory, bool subfoldersAllowed);
    void OpenDirectoryRow(const QModelIndex& index);
    void SortBy(int column);
    void RemoveSelectedFiles();
    void EditSelectedFile();
    QList<int> SelectedRowsDescending() const;

    FilesListModel m_model;
};

}  // namespace sarvo::ui
