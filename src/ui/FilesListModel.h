#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileTime.h"
#include "store/PublishedFiles.h"

// The rows of the files list ("List2"): the published single files, or what lies in one directory of
// a published folder. Each row keeps the facts read when it was listed; its type name and icon are
// looked up the first time they are shown and kept.
namespace sarvo::ui {

enum FilesColumn { kFileName, kFileType, kFileSize, kFileTime, kFileColumns };

enum class FilesMode { Empty, PublishedFiles, Folder };

// The display name of the row that leads to the parent directory.
inline constexpr char kParentRowName[] = ". .";

struct FileRow {
    std::string path;
    uint64_t size = 0;
    FileTime writeTime;
    bool directory = false;
    QString displayName;
    std::string linkName;
    mutable QString typeName;  // empty until shown
    mutable QIcon icon;        // null until shown
};

enum class ListingResult { Listed, VolumeNotReady, NoLocation };

class FilesListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FilesListModel(QObject* parent = nullptr);

    FilesMode Mode() const { return m_mode; }
    const std::string& FolderName() const { return m_folderName; }
    bool SubfoldersAllowed() const { return m_subfoldersAllowed; }
    const FileRow& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }

    void Clear();
    // Lists the published files, removing from the store every entry whose file is gone or has become
    // a folder.
    void ShowPublishedFiles();
    // Lists a directory of the published folder folderName (the folder's own location, or a folder
    // below it when sub-folders are allowed).
    ListingResult ShowFolder(std::string folderName, std::string directory, bool subfoldersAllowed);
    // Adds the row of a newly published file.
    int AppendPublishedFile(const PublishedFileEntry& entry);
    void RemoveRowAt(int row);
    void RefreshStates();

    // Flips the order (the first call sorts ascending) and sorts by the column. The parent row stays
    // first, and directories stay before files in both orders.
    void SortByColumn(int column);
    bool Ascending() const { return m_ascending; }

    // The row's address below the site's base URL (which ends in '/').
    std::string UrlOfRow(int row, const std::string& baseUrl) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void AddRow(const std::string& path, const std::string& linkName, const QString& givenName);
    const QString& TypeNameOf(const FileRow& row) const;
    int Compare(const FileRow& a, const FileRow& b, int column) const;

    std::vector<FileRow> m_rows;
    FilesMode m_mode = FilesMode::Empty;
    std::string m_folderName;
    std::string m_folderLocation;
    bool m_subfoldersAllowed = false;
    bool m_ascending = false;
};

}  // namespace sarvo::ui
