#include "ui/Uninstall.h"

#include <unistd.h>

#include <cstdlib>

#include <QMessageBox>
#include <QString>

#include "platform/DesktopEntries.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "ui/UninstallPlan.h"

namespace {

QString PackagedInstallNotice(const std::string& package) {
    return QStringLiteral(
               "Sarvo's settings and launchers have been removed.\n"
               "The program itself belongs to the package \"%1\"; remove that package with your "
               "package manager (for example: sudo apt remove %1).")
        .arg(QString::fromStdString(package));
}

[[noreturn]] void EndProcess() {
    sarvo::CloseSettingsStore();
    // Ends at once, as the design's uninstall does: no window or thread gets to touch what is being
    // removed.
    std::_Exit(kUninstallExitCode);
}

}  // namespace

bool ConfirmAndRemoveUserData(QWidget* parent) {
    QMessageBox::StandardButton answer = QMessageBox::question(
        parent, QString::fromLatin1(kMessageCaption), QString::fromLatin1(kUninstallQuestion),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes)
        return false;
    sarvo::Shortcut shortcut = sarvo::ProgramShortcut();
    sarvo::DeleteDesktopShortcut(shortcut);
    sarvo::DeleteStartMenuShortcut(shortcut);
    // The machine-wide key holds the first-run marker; the user's key holds every setting.
    sarvo::DeleteKeyTree(sarvo::Hive::LocalMachine, sarvo::kProductKey);
    sarvo::DeleteKeyTree(sarvo::Hive::CurrentUser, sarvo::kProductKey);
    return true;
}

void RemoveProgramAndExit(QWidget* parent, const std::string& programPath) {
    sarvo::InstallFacts facts = sarvo::ExamineInstall(programPath);
    switch (sarvo::ClassifyInstall(facts)) {
        case sarvo::InstallKind::UserLocal: {
            std::string scriptPath = sarvo::UninstallScriptPath(programPath);
            std::string script =
                sarvo::ComposeUninstallScript(::getpid(), sarvo::InstalledFiles(programPath),
                                              sarvo::InstalledFolders(programPath), scriptPath);
            if (!sarvo::StartUninstallScript(scriptPath, script))
                return;
            EndProcess();
        }
        case sarvo::InstallKind::Packaged:
            QMessageBox::information(parent, QString::fromLatin1(kMessageCaption),
                                     PackagedInstallNotice(facts.packageName));
            EndProcess();
        case sarvo::InstallKind::Foreign:
            return;
    }
}

void UninstallAndExit(QWidget* parent) {
    if (!ConfirmAndRemoveUserData(parent))
        return;
    RemoveProgramAndExit(parent, sarvo::GetProgramPath());
}
