#pragma once

#include <QString>

#include <functional>

#include "store/Folders.h"
#include "ui/dialogs/PropertyDialog.h"

class QCheckBox;
class QLineEdit;

namespace sarvo::ui {

// What the dialog uses beyond the store: the folder chooser and the thumbnail tool.
struct FolderPropertyTools {
    // Asks the owner for a folder, starting at start; "" when the owner cancels.
    std::function<QString(QWidget* parent, const QString& start)> chooseFolder;
    // The thumbnail tool's executable.
    QString thumbnailTool;
};

// The system's folder chooser and the tool beside the program's own executable.
FolderPropertyTools DefaultFolderPropertyTools();

// Creates, edits or renames one published folder: its location, name, description and permissions;
// can run the thumbnail tool over it after storing.
class FolderPropertyDialog : public PropertyDialog {
    Q_OBJECT

public:
    // The store's limits, in bytes of UTF-8.
    static constexpr int kLocationMaxLength = static_cast<int>(kFolderLocationMax);
    static constexpr int kNameMaxLength = static_cast<int>(kFolderNameMax);
    static constexpr int kDescriptionMaxLength = static_cast<int>(kFolderDescriptionMax);
    // The chooser opens by itself for a new folder once the dialog is on screen.
    static constexpr int kAutoBrowseDelayMs = 10;

    // An empty name opens the dialog for a new folder.
    FolderPropertyDialog(QWidget* parent, const QString& folderName, FolderPropertyTools tools);

    // The folder's name after OK, which the opener selects in its list.
    const QString& FolderName() const { return m_savedName; }

    // The folder chooser step of the "..." button; false when the owner cancelled it.
    bool Browse();

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;
    void showEvent(QShowEvent* event) override;

private:
    void ThumbnailsToggled(bool on);

    FolderPropertyTools m_tools;
    QString m_openedName;
    QString m_savedName;
    bool m_browseWhenShown = false;
    QLineEdit* m_location;
    QLineEdit* m_name;
    QLineEdit* m_description;
    QCheckBox* m_listing;
    QCheckBox* m_subfolders;
    QCheckBox* m_posting;
    QCheckBox* m_zip;
    QCheckBox* m_followLinks;
    QCheckBox* m_thumbnails;
};

// Where the chooser starts when the location is empty: the parent of the folder chosen last, the root
// kept whole.
QString ParentOfLastFolder(const QString& lastFolder);

// Whether OK may store a folder under this trimmed name and location, given the name the dialog was
// opened with ("" for a new folder).
bool IsStorableFolder(const QString& name, const QString& location, const QString& openedName);

}  // namespace sarvo::ui
