#include "ui/OwnerDialogTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <string>

#include "platform/DesktopEntries.h"
#include "ui/BrowseForFolder.h"
#include "ui/Uninstall.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/GuestbookDialog.h"

namespace sarvo::ui {
namespace {

// path is canonical already (the program's own folder); folder may not be.
bool LiesUnder(const QString& path, const QString& folder) {
    const QString root = QFileInfo(folder).canonicalFilePath();
    return !root.isEmpty() && (path == root || path.startsWith(root + QLatin1Char('/')));
}

QString ChooseFolder(QWidget* parent, const QString& start) {
    std::string path = start.toStdString();
    return BrowseForFolder(parent, path) ? QString::fromStdString(path) : QString();
}

}  // namespace

WebSitePropertyActions WindowWebSiteActions() {
    WebSitePropertyActions actions;
    actions.desktopShortcutExists = [] { return DesktopShortcutExists(ProgramShortcut()); };
    actions.createDesktopShortcut = [] { return CreateDesktopShortcut(ProgramShortcut()); };
    actions.deleteDesktopShortcut = [] { return DeleteDesktopShortcut(ProgramShortcut()); };
    actions.uninstall = UninstallAndExit;
    actions.openGuestbook = [](QWidget* parent) { GuestbookDialog(parent, WindowShellActions()).exec(); };
    return actions;
}

FolderPropertyTools WindowFolderTools() {
    FolderPropertyTools tools;
    tools.chooseFolder = ChooseFolder;
    tools.thumbnailTool = ThumbnailToolPath();
    return tools;
}

ShellActions WindowShellActions() {
    ShellActions shell = DefaultShellActions();
    shell.chooseFolder = ChooseFolder;
    return shell;
}

QString ThumbnailToolPath() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString beside = QDir(programFolder).filePath(QString::fromUtf8(kThumbnailToolName));
    // Only a program inside the build tree looks there, so an installed copy never runs a tool left in
    // some build folder.
    const QString built = QStringLiteral(SARVO_BUILD_TREE_PICTORN);
    if (!QFileInfo(beside).isExecutable() && LiesUnder(programFolder, QStringLiteral(SARVO_BUILD_TREE)) &&
        QFileInfo(built).isExecutable())
        return built;
    return beside;
}

}  // namespace sarvo::ui
