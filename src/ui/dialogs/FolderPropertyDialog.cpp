#include "ui/dialogs/FolderPropertyDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

#include "common/FolderNames.h"
#include "common/Text.h"
#include "server/ServerIdentity.h"
#include "store/Folders.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/ThumbnailRunDialog.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {
namespace {

// Message texts keep the product's CR LF line ends; a Qt label breaks lines at LF alone.
QString MessageText(const char* text) {
    return QString::fromUtf8(text).remove(QLatin1Char('\r'));
}

}  // namespace

FolderPropertyTools DefaultFolderPropertyTools() {
    FolderPropertyTools tools;
    tools.chooseFolder = [](QWidget* parent, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, QString(), start);
    };
    tools.thumbnailTool =
        QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(kThumbnailToolName));
    return tools;
}

QString ParentOfLastFolder(const QString& lastFolder) {
    const qsizetype separator = lastFolder.lastIndexOf(QLatin1Char('/'));
    if (separator < 0)
        return lastFolder;
    return separator == 0 ? QStringLiteral("/") : lastFolder.left(separator);
}

bool IsStorableFolder(const QString& name, const QString& location, const QString& openedName) {
    const std::string storedName = ToStore(name);
    const qsizetype locationBytes = location.toUtf8().size();
    if (locationBytes == 0 || locationBytes > FolderPropertyDialog::kLocationMaxLength ||
        CheckFolderName(storedName) != FolderNameProblem::None)
        return false;
    return EqualsIgnoreCase(storedName, ToStore(openedName)) || !FolderExists(storedName);
}

FolderPropertyDialog::FolderPropertyDialog(QWidget* parent, const QString& folderName,
                                           FolderPropertyTools tools)
    : PropertyDialog(parent, kFolderPropertyCaption), m_tools(std::move(tools)), m_openedName(folderName) {
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    m_location = NamedLineEdit(kLocationLabel, kLocationMaxLength, this);
    m_location->setReadOnly(true);
    auto* browse = NamedButton(kBrowseButton, this);
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("  ...  ")) + 16);
    m_name = NamedLineEdit(kNameLabel, kNameMaxLength, this);
    m_description = NamedLineEdit(kDescriptionLabel, kDescriptionMaxLength, this);
    fields->addWidget(LabelFor(kLocationLabel, m_location, this), 0, 0);
    fields->addWidget(m_location, 0, 1);
    fields->addWidget(browse, 0, 2);
    fields->addWidget(LabelFor(kNameLabel, m_name, this), 1, 0);
    fields->addWidget(m_name, 1, 1, 1, 2);
    fields->addWidget(LabelFor(kDescriptionLabel, m_description, this), 2, 0);
    fields->addWidget(m_description, 2, 1, 1, 2);
    layout->addLayout(fields);

    m_listing = NamedCheckBox(kAllowListing, this);
    m_subfolders = NamedCheckBox(kAllowSubfolders, this);
    m_posting = NamedCheckBox(kAllowPosting, this);
    m_zip = NamedCheckBox(kAllowZip, this);
    m_followLinks = NamedCheckBox(kFollowLinks, this);
    m_thumbnails = NamedCheckBox(kCreateThumbnails, this);
    for (QCheckBox* box : {m_listing, m_subfolders, m_posting, m_zip, m_followLinks})
        layout->addWidget(box);
    layout->addSpacing(8);
    layout->addWidget(m_thumbnails);
    AddButtons(layout);
    setMinimumWidth(480);

    connect(browse, &QPushButton::clicked, this, &FolderPropertyDialog::Browse);
    connect(m_thumbnails, &QCheckBox::toggled, this, &FolderPropertyDialog::ThumbnailsToggled);
    UpdateControlsOn(m_name, &QLineEdit::textChanged);
    UpdateControlsOn(m_location, &QLineEdit::textChanged);
    UpdateControlsOn(m_description, &QLineEdit::textChanged);
    Start();
}

void FolderPropertyDialog::Load() {
    SharedFolder folder;
    if (m_openedName.isEmpty() || !ReadSharedFolder(ToStore(m_openedName), folder)) {
        // A new folder: listed and open to its sub-folders, nothing more.
        folder.canBrowseSubfolders = true;
        folder.visible = true;
        if (!m_openedName.isEmpty())
            folder.name = ToStore(m_openedName);
    }
    m_location->setText(FromStore(folder.location));
    m_name->setText(FromStore(folder.name));
    m_description->setText(FromStore(folder.description));
    m_listing->setChecked(folder.visible);
    m_subfolders->setChecked(folder.canBrowseSubfolders);
    m_posting->setChecked(folder.canPostFiles);
    m_zip->setChecked(folder.zipDownload);
    m_followLinks->setChecked(folder.followLinks);
    m_thumbnails->setChecked(false);
    m_browseWhenShown = m_openedName.isEmpty() && m_location->text().isEmpty();
    m_name->setFocus();
}

void FolderPropertyDialog::UpdateControls() {
    OkButton()->setEnabled(IsStorableFolder(Trimmed(m_name), Trimmed(m_location), m_openedName));
}

void FolderPropertyDialog::Save() {
    SharedFolder folder;
    folder.name = ToStore(Trimmed(m_name));
    folder.description = ToStore(Trimmed(m_description));
    folder.location = ToStore(Trimmed(m_location));
    folder.canBrowseSubfolders = m_subfolders->isChecked();
    folder.canPostFiles = m_posting->isChecked();
    folder.visible = m_listing->isChecked();
    folder.zipDownload = m_zip->isChecked();
    folder.followLinks = m_followLinks->isChecked();
    // A rename deletes the old key and writes the new one in one step, so the folder's values never
    // exist under two names.
    if (m_openedName.isEmpty())
        WriteSharedFolder(folder);
    else
        RenameSharedFolder(ToStore(m_openedName), folder);
    m_savedName = FromStore(folder.name);

    if (m_thumbnails->isChecked()) {
        ThumbnailRunDialog run(this, m_tools.thumbnailTool, FromStore(folder.location),
                               folder.canBrowseSubfolders);
        run.Run();
    }
}

void FolderPropertyDialog::showEvent(QShowEvent* event) {
    PropertyDialog::showEvent(event);
    if (!m_browseWhenShown)
        return;
    m_browseWhenShown = false;
    QTimer::singleShot(kAutoBrowseDelayMs, this, [this] {
        // Cancelling the first choice of a new folder cancels the whole dialog.
        if (!Browse() && Trimmed(m_location).isEmpty())
            reject();
    });
}

bool FolderPropertyDialog::Browse() {
    const QString start =
        m_location->text().isEmpty() ? ParentOfLastFolder(FromStore(GetLastFolder())) : m_location->text();
    const QString chosen = m_tools.chooseFolder ? m_tools.chooseFolder(this, start) : QString();
    if (chosen.isEmpty())
        return false;
    SetLastFolder(ToStore(chosen));
    m_location->setText(chosen);
    if (Trimmed(m_name).isEmpty())
        m_name->setText(FitToBytes(QFileInfo(chosen).fileName(), kNameMaxLength));
    m_name->setFocus();
    m_name->selectAll();
    UpdateControls();
    return true;
}

void FolderPropertyDialog::ThumbnailsToggled(bool on) {
    if (!on || QFileInfo(m_tools.thumbnailTool).isExecutable())
        return;
    m_thumbnails->setChecked(false);
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, QString::fromUtf8(kProductCaption),
                              MessageText(kThumbnailToolMissing.text), QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        QDesktopServices::openUrl(QUrl(QString::fromUtf8(kProductPageAddress)));
}

}  // namespace sarvo::ui
