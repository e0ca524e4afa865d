#include "ui/FilesListModel.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeDatabase>

#include <algorithm>

#include "common/Format.h"
#include "common/Text.h"
#include "platform/FileSystem.h"
#include "platform/FindData.h"
#include "platform/Volume.h"
#include "site/FileFacts.h"
#include "site/TitleReader.h"
#include "store/Folders.h"
#include "ui/Icons.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"

namespace sarvo::ui {
namespace {

constexpr int kStateRealTime = 1;
constexpr int kStatePlain = 2;
constexpr int kFileIconSize = 16;

const char* const kColumnTitles[kFileColumns] = {kTextColumnName, kTextColumnType, kTextColumnSize,
                                                 kTextColumnFileTime};

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    std::string path = directory + "/" + name;
    NormalizePath(path);
    return path;
}

QString TimeText(FileTime utc) {
    FileTime local;
    SystemTime time;
    if (!FileTimeToLocalFileTime(utc, local) || !FileTimeToSystemTime(local, time))
        return {};
    return QString::fromStdString(
        Format("%04d-%02d-%02d %02d:%02d", time.year, time.month, time.day, time.hour, time.minute));
}

bool IsParentRow(const FileRow& row) {
    return row.displayName == QLatin1String(kParentRowName);
}

}  // namespace

FilesListModel::FilesListModel(QObject* parent) : QAbstractTableModel(parent) {}

void FilesListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    m_mode = FilesMode::Empty;
    m_folderName.clear();
    m_folderLocation.clear();
    endResetModel();
}

void FilesListModel::ShowPublishedFiles() {
    Clear();
    beginResetModel();
    m_mode = FilesMode::PublishedFiles;
    // After a removal the entry that took the removed one's place has the same index.
    for (int index = 0;;) {
        const std::optional<PublishedFileEntry> entry = EnumPublishedFile(index);
        if (!entry)
            break;
        if (!IsExistingFile(entry->record.path)) {
            RemovePublishedFile(entry->name);
            continue;
        }
        AddRow(entry->record.path, entry->name, {});
        ++index;
    }
    endResetModel();
}

// The texts are taken by value: a caller may pass this model's own folder name or a row's path, which
// Clear() destroys.
ListingResult FilesListModel::ShowFolder(std::string folderName, std::string directory,
                                         bool subfoldersAllowed) {
    Clear();
    m_mode = FilesMode::Folder;
    m_folderName = std::move(folderName);
    m_subfoldersAllowed = subfoldersAllowed;
    if (directory.empty())
        return ListingResult::Listed;
    VolumeInfo volume;
    if (!GetVolumeInformation(directory, volume))
        return ListingResult::VolumeNotReady;
    if (!GetFolderLocation(m_folderName, m_folderLocation))
        return ListingResult::NoLocation;
    NormalizePath(m_folderLocation);
    std::string path = directory;
    NormalizePath(path);

    beginResetModel();
    FindData entry;
    if (subfoldersAllowed) {
        if (path.size() > m_folderLocation.size()) {
            const size_t slash = path.rfind('/');
            AddRow(slash == 0 ? std::string("/") : path.substr(0, slash), {},
                   QString::fromLatin1(kParentRowName));
        }
        DirectoryEnumerator directories(JoinPath(path, "*"));
        while (directories.Next(entry)) {
            if ((entry.attributes & kFileAttributeDirectory) && entry.name[0] != '.')
                AddRow(JoinPath(path, entry.name), {}, {});
        }
    }
    DirectoryEnumerator files(JoinPath(path, "*"));
    while (files.Next(entry)) {
        if (!(entry.attributes & kFileAttributeDirectory))
            AddRow(JoinPath(path, entry.name), {}, {});
    }
    endResetModel();
    return ListingResult::Listed;
}

void FilesListModel::AddRow(const std::string& path, const std::string& linkName, const QString& givenName) {
    FileRow row;
    row.path = path;
    FindData facts;
    if (GetFindData(path, facts)) {
        row.size = facts.size;
        row.writeTime = facts.lastWriteTime;
        row.directory = (facts.attributes & kFileAttributeDirectory) != 0;
    }
    if (!givenName.isEmpty()) {
        row.displayName = givenName;
    } else {
        const TitleReader title(path);
        row.displayName = FromAnsi(title.HasTitle() ? title.Title() : FileNamePart(path));
    }
    row.linkName = linkName.empty() ? FileNamePart(path) : linkName;
    m_rows.push_back(std::move(row));
}

int FilesListModel::AppendPublishedFile(const PublishedFileEntry& entry) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    AddRow(entry.record.path, entry.name, {});
    endInsertRows();
    return row;
}

void FilesListModel::RemoveRowAt(int row) {
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void FilesListModel::RefreshStates() {
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

const QString& FilesListModel::TypeNameOf(const FileRow& row) const {
    if (row.typeName.isEmpty()) {
        static const QMimeDatabase mimeTypes;
        row.typeName = mimeTypes.mimeTypeForFile(FromAnsi(row.path)).comment();
    }
    return row.typeName;
}

int FilesListModel::Compare(const FileRow& a, const FileRow& b, int column) const {
    if (IsParentRow(a))
        return -1;
    if (IsParentRow(b))
        return 1;
    const bool oneIsDirectory = a.directory != b.directory;
    int result = 0;
    if (column == kFileType) {
        result = TypeNameOf(a).compare(TypeNameOf(b), Qt::CaseInsensitive);
    } else if (oneIsDirectory) {
        result = a.directory ? -1 : 1;
    } else if (column == kFileName) {
        result = a.displayName.compare(b.displayName, Qt::CaseInsensitive);
    } else if (column == kFileSize) {
        result = a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
    } else {
        result = a.writeTime < b.writeTime ? -1 : (a.writeTime > b.writeTime ? 1 : 0);
    }
    // Descending negates, except between a directory and a file, so directories stay first.
    return m_ascending || oneIsDirectory ? result : -result;
}

void FilesListModel::SortByColumn(int column) {
    if (m_rows.size() < 2)
        return;
    m_ascending = !m_ascending;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<const FileRow*> identities;
    for (const QModelIndex& index : before)
        identities.push_back(&m_rows[static_cast<size_t>(index.row())]);
    std::vector<size_t> order(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return Compare(m_rows[a], m_rows[b], column) < 0; });
    std::vector<FileRow> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newPlace(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newPlace[order[i]] = static_cast<int>(i);
        sorted.push_back(std::move(m_rows[order[i]]));
    }
    m_rows = std::move(sorted);
    QModelIndexList after;
    for (const QModelIndex& index : before)
        after.append(this->index(newPlace[static_cast<size_t>(index.row())], index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

std::string FilesListModel::UrlOfRow(int row, const std::string& baseUrl) const {
    const FileRow& file = Row(row);
    if (m_mode == FilesMode::PublishedFiles)
        return baseUrl + file.linkName;
    std::string rest = file.path.substr(std::min(file.path.size(), m_folderLocation.size()));
    const size_t start = rest.find_first_not_of('/');
    rest = start == std::string::npos ? std::string() : rest.substr(start);
    std::string url = baseUrl + m_folderName + "/" + rest;
    if (file.directory && !rest.empty())
        url += "/";
    return url;
}

int FilesListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FilesListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFileColumns;
}

QVariant FilesListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const FileRow& row = Row(index.row());
    if (role == Qt::ToolTipRole)
        return FromAnsi(row.path);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (index.column() == kFileSize ? Qt::AlignRight : Qt::AlignLeft));
    if (role == Qt::DecorationRole && index.column() == kFileName) {
        if (row.icon.isNull()) {
            static const QFileIconProvider icons;
            row.icon = icons.icon(QFileInfo(FromAnsi(row.path)));
        }
        const qreal ratio = qApp->devicePixelRatio();
        const bool realTime = m_mode == FilesMode::PublishedFiles && IsRealTimeFile(row.linkName);
        return StateAndImage(FileStateImage(realTime ? kStateRealTime : kStatePlain, ratio),
                             row.icon.pixmap(QSize(kFileIconSize, kFileIconSize), ratio));
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
        case kFileName:
            return row.displayName;
        case kFileType:
            return TypeNameOf(row);
        case kFileSize:
            return QString::fromStdString(FormatSize(row.size));
        case kFileTime:
            return TimeText(row.writeTime);
        default:
            return {};
    }
}

QVariant FilesListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kFileColumns)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kColumnTitles[section]);
    if (role == Qt::TextAlignmentRole && section == kFileSize)
        return QVariant::fromValue(Qt::AlignVCenter | Qt::AlignRight);
    return {};
}

}  // namespace sarvo::ui
