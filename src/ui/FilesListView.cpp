#include "ui/FilesListView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

#include "common/Text.h"
#include "store/Folders.h"
#include "ui/CommandItem.h"
#include "ui/Commands.h"
#include "ui/DialogUnits.h"
#include "ui/OwnerMessages.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"
#include "ui/dialogs/DynamicFilePropertyDialog.h"

namespace sarvo::ui {
namespace {

constexpr int kTypeWidth = 80;
constexpr int kSizeWidth = 60;
constexpr int kTimeWidth = 100;

}  // namespace

FilesListView::FilesListView(QWidget* parent) : QTreeView(parent) {
    setObjectName(QString::fromLatin1(kFilesListName));
    setModel(&m_model);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setIconSize(QSize(30, 16));
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    // The name takes what the other columns leave, so that the time is never cut off.
    header()->setSectionResizeMode(kFileName, QHeaderView::Stretch);
    const DialogUnits units(font());
    setColumnWidth(kFileType, units.ScaledPixels(kTypeWidth));
    setColumnWidth(kFileSize, units.ScaledPixels(kSizeWidth));
    setColumnWidth(kFileTime, units.ScaledPixels(kTimeWidth));
    connect(header(), &QHeaderView::sectionClicked, this, &FilesListView::SortBy);
    connect(this, &QAbstractItemView::doubleClicked, this, &FilesListView::OpenDirectoryRow);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit commandPosted(CMD_REFRESH_URL); });
}

void FilesListView::ShowPublishedFiles() {
    m_model.ShowPublishedFiles();
}

void FilesListView::ShowPublishedFolder(const std::string& folderName, bool subfoldersAllowed) {
    if (m_model.Mode() == FilesMode::Folder && m_model.SubfoldersAllowed() == subfoldersAllowed &&
        EqualsIgnoreCase(m_model.FolderName(), folderName))
        return;
    std::string location;
    if (!GetFolderLocation(folderName, location)) {
        m_model.Clear();
        return;
    }
    ShowListing(folderName, location, subfoldersAllowed);
}

void FilesListView::ShowListing(const std::string& folderName, const std::string& directory,
                                bool subfoldersAllowed) {
    if (m_model.ShowFolder(folderName, directory, subfoldersAllowed) == ListingResult::VolumeNotReady)
        ShowInformation(this, QString::fromLatin1(kTextDriveNotReady));
}

bool FilesListView::HasSelection() const {
    return selectionModel()->hasSelection();
}

std::string FilesListView::UrlOfSelection(const std::string& baseUrl) const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return baseUrl;
    const auto first =
        std::min_element(rows.begin(), rows.end(),
                         [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    return m_model.UrlOfRow(first->row(), baseUrl);
}

std::unique_ptr<QMenu> FilesListView::CreateContextMenu(int rowUnderCursor) {
    if (m_model.Mode() != FilesMode::PublishedFiles)
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    const QModelIndexList selected = selectionModel()->selectedRows();
    const bool oneUnderCursor = selected.size() == 1 && selected.front().row() == rowUnderCursor;
    AddCommandItem(*menu, QString::fromLatin1(kMenuAddFiles), CMD_ADD_FILES, true);
    AddCommandItem(*menu, QString::fromLatin1(kMenuRemoveFiles), CMD_REMOVE_FILES, !selected.isEmpty());
    AddCommandItem(*menu, QString::fromLatin1(kMenuFileProperty), CMD_FILE_PROPERTY, oneUnderCursor);
    return menu;
}

void FilesListView::RunCommand(uint32_t command) {
    switch (command) {
        case CMD_ADD_FILES:
            AddFiles(QFileDialog::getOpenFileNames(this));
            break;
        case CMD_REMOVE_FILES:
            RemoveSelectedFiles();
            break;
        case CMD_FILE_PROPERTY:
            EditSelectedFile();
            break;
        default:
            break;
    }
}

void FilesListView::AddFiles(const QStringList& paths) {
    int lastRow = -1;
    for (const QString& chosen : paths) {
        std::string path = ToAnsi(chosen);
        NormalizePath(path);
        const std::optional<PublishedFileEntry> entry = PublishFile(path);
        if (entry && m_model.Mode() == FilesMode::PublishedFiles)
            lastRow = m_model.AppendPublishedFile(*entry);
    }
    if (lastRow < 0)
        return;
    const QModelIndex last = m_model.index(lastRow, 0);
    selectionModel()->select(last, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(last, QItemSelectionModel::NoUpdate);
    scrollTo(last);
}

void FilesListView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex under = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    std::unique_ptr<QMenu> menu = CreateContextMenu(under.isValid() ? under.row() : -1);
    if (!menu)
        return;
    if (QAction* chosen = menu->exec(event->globalPos()))
        RunCommand(chosen->data().toUInt());
}

void FilesListView::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    emit commandPosted(CMD_REFRESH_URL_FILE_FOCUS);
}

void FilesListView::OpenDirectoryRow(const QModelIndex& index) {
    if (!index.isValid() || m_model.Mode() != FilesMode::Folder ||
        !selectionModel()->isRowSelected(index.row(), {}))
        return;
    const FileRow& row = m_model.Row(index.row());
    if (!row.directory)
        return;
    ShowListing(m_model.FolderName(), row.path, true);
}

void FilesListView::SortBy(int column) {
    if (m_model.rowCount() < 2)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_model.SortByColumn(column);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, m_model.Ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    QApplication::restoreOverrideCursor();
}

QList<int> FilesListView::SelectedRowsDescending() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    return rows;
}

// The real-time flag decides the row's state picture.
void FilesListView::EditSelectedFile() {
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (m_model.Mode() != FilesMode::PublishedFiles || selected.size() != 1)
        return;
    DynamicFilePropertyDialog dialog(this, FromAnsi(m_model.Row(selected.front().row()).linkName));
    if (dialog.exec() == QDialog::Accepted)
        m_model.RefreshStates();
}

void FilesListView::RemoveSelectedFiles() {
    for (int row : SelectedRowsDescending()) {
        RemovePublishedFile(m_model.Row(row).linkName);
        m_model.RemoveRowAt(row);
    }
}

}  // namespace sarvo::ui
