#include "ui/FoldersListModel.h"

#include <QGuiApplication>

#include <string>

#include "server/RequestHandlers.h"
#include "store/Folders.h"
#include "store/SiteSettings.h"
#include "ui/Icons.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"

namespace sarvo::ui {
namespace {

constexpr int kImageFolder = 0;
constexpr int kImageFolderWithSubfolders = 1;
constexpr int kImagePostOffset = 2;  // the upload variant of either folder picture
constexpr int kImageDynamicFiles = 4;
constexpr int kImageWebCommunity = 5;
constexpr int kImageWebchat = 6;

constexpr int kStateHidden = 1;
constexpr int kStateVisibleStep = 1;
constexpr int kStateZipStep = 2;
constexpr int kStateChatClosed = 5;
constexpr int kStateChatOpen = 6;
constexpr int kStateCommunityNone = 7;
constexpr int kStateCommunityHost = 8;
constexpr int kStateCommunityMember = 9;
constexpr int kStateCommunityBoth = 10;

bool SameText(const QString& text, const char* fixed) {
    return text.compare(QString::fromLatin1(fixed), Qt::CaseInsensitive) == 0;
}

int CommunityState() {
    const bool host = IsWebCommHost();
    const bool member = IsWebCommMember();
    if (host && member)
        return kStateCommunityBoth;
    if (host)
        return kStateCommunityHost;
    return member ? kStateCommunityMember : kStateCommunityNone;
}

QString TipOfRow(const QString& text) {
    switch (KindOfFolderRow(text)) {
        case FolderRowKind::DynamicFiles:
            return QString::fromLatin1(kTextDynamicFilesTip);
        case FolderRowKind::Webchat:
            return QString::fromLatin1(kTextWebchatTip);
        case FolderRowKind::WebCommunity:
            return QString::fromLatin1(kTextWebCommunityTip);
        default: {
            std::string location;
            GetFolderLocation(ToAnsi(text), location);
            return FromAnsi(location);
        }
    }
}

}  // namespace

FolderRowKind KindOfFolderRow(const QString& text) {
    if (SameText(text, kTextDynamicFiles))
        return FolderRowKind::DynamicFiles;
    if (SameText(text, kTextWebchat))
        return FolderRowKind::Webchat;
    if (SameText(text, kTextWebCommunity))
        return FolderRowKind::WebCommunity;
    return CanBrowseSubfolders(ToAnsi(text)) ? FolderRowKind::FolderWithSubfolders : FolderRowKind::Folder;
}

FolderRowImages ImagesOfFolderRow(const QString& text) {
    switch (KindOfFolderRow(text)) {
        case FolderRowKind::DynamicFiles:
            return {kImageDynamicFiles, kStateHidden + (IsDynamicFolderVisible() ? kStateVisibleStep : 0)};
        case FolderRowKind::Webchat:
            return {kImageWebchat, ChatRoomIsOpen() ? kStateChatOpen : kStateChatClosed};
        case FolderRowKind::WebCommunity:
            return {kImageWebCommunity, CommunityState()};
        case FolderRowKind::Folder:
        case FolderRowKind::FolderWithSubfolders:
            break;
    }
    const std::string name = ToAnsi(text);
    const int image = (CanBrowseSubfolders(name) ? kImageFolderWithSubfolders : kImageFolder) +
                      (CanPostFiles(name) ? kImagePostOffset : 0);
    const int state = kStateHidden + (IsFolderVisible(name) ? kStateVisibleStep : 0) +
                      (IsZipDownloadAllowed(name) ? kStateZipStep : 0);
    return {image, state};
}

FoldersListModel::FoldersListModel(QObject* parent) : QAbstractListModel(parent) {}

void FoldersListModel::Fill() {
    beginResetModel();
    m_rows = {QString::fromLatin1(kTextDynamicFiles), QString::fromLatin1(kTextWebchat),
              QString::fromLatin1(kTextWebCommunity)};
    std::string name;
    for (int i = 0; EnumFolderName(i, name); ++i)
        m_rows.append(FromAnsi(name));
    endResetModel();
}

void FoldersListModel::AppendFolder(const QString& name) {
    beginInsertRows({}, rowCount(), rowCount());
    m_rows.append(name);
    endInsertRows();
}

void FoldersListModel::RenameRow(int row, const QString& name) {
    m_rows[row] = name;
    emit dataChanged(index(row), index(row));
}

void FoldersListModel::RemoveRow(int row) {
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void FoldersListModel::RefreshImages() {
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
}

int FoldersListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant FoldersListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const QString& text = m_rows[index.row()];
    switch (role) {
        case Qt::DisplayRole:
            return text;
        case Qt::ToolTipRole:
            return TipOfRow(text);
        case Qt::DecorationRole: {
            const FolderRowImages images = ImagesOfFolderRow(text);
            const qreal ratio = qApp->devicePixelRatio();
            return StateAndImage(FolderStateImage(images.state, ratio), FolderImage(images.image, ratio));
        }
        default:
            return {};
    }
}

}  // namespace sarvo::ui
