#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The rows of the folders list ("List1"): the published single files, the chat room, the community
// service, then every published folder in the store's order. A row is only its text; what it is, its
// pictures and its tip are worked out from the text and the current settings whenever they are shown.
namespace sarvo::ui {

enum class FolderRowKind {
    DynamicFiles = 0,
    Folder = 1,  // a folder whose sub-folders are closed to visitors
    FolderWithSubfolders = 2,
    Webchat = 3,
    WebCommunity = 4,
};

struct FolderRowImages {
    int image = 0;  // index of the 16-pixel picture
    int state = 0;  // number of the 15-pixel state picture, from 1
};

FolderRowKind KindOfFolderRow(const QString& text);
FolderRowImages ImagesOfFolderRow(const QString& text);

class FoldersListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FoldersListModel(QObject* parent = nullptr);

    // The three service rows and the folders the store holds now.
    void Fill();
    void AppendFolder(const QString& name);
    void RenameRow(int row, const QString& name);
    void RemoveRow(int row);
    // Tells the view that the pictures of every row may have changed (the settings did).
    void RefreshImages();

    const QString& Text(int row) const { return m_rows[row]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QStringList m_rows;
};

}  // namespace sarvo::ui
