#include "ui/BrowseForFolder.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QString>

bool BrowseForFolder(QWidget* owner, std::string& path) {
    QString start = QString::fromStdString(path);
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = QDir::homePath();
    QString chosen = QFileDialog::getExistingDirectory(owner, QString(), start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return false;
    path = QDir::toNativeSeparators(chosen).toStdString();
    return true;
}
