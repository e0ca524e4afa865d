#include "ui/dialogs/ShellActions.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

namespace sarvo::ui {

ShellActions DefaultShellActions() {
    ShellActions actions;
    actions.chooseFolder = [](QWidget* parent, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, QString(), start);
    };
    actions.openPath = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    actions.openAddress = [](const QString& address) {
        QDesktopServices::openUrl(QUrl::fromUserInput(address));
    };
    return actions;
}

}  // namespace sarvo::ui
