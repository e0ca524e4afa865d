#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace sarvo::ui {

// What the service dialogs hand to the desktop: choosing a folder, and opening a file, a folder or a
// web address with the program the desktop has for it. Tests put recorders in their place.
struct ShellActions {
    // Asks the owner for a folder, starting at start; "" when the owner cancels.
    std::function<QString(QWidget* parent, const QString& start)> chooseFolder;
    std::function<void(const QString& path)> openPath;
    std::function<void(const QString& address)> openAddress;
};

// The system's folder chooser and the desktop's default programs.
ShellActions DefaultShellActions();

}  // namespace sarvo::ui
