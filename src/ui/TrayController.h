#pragma once

#include <QObject>

class QAction;
class QSystemTrayIcon;

namespace sarvo::ui {

class MainWindow;

// The tray icon, where the desktop has a tray: its picture shows whether the server runs, a click
// shows or hides the window, and its menu offers the window's main steps. Without a tray nothing is
// created and the window behaves as it does on its own.
class TrayController : public QObject {
    Q_OBJECT
public:
    explicit TrayController(MainWindow& window);

private:
    void ServerStateChanged(bool running);
    void ToggleWindow();

    MainWindow& m_window;
    QSystemTrayIcon* m_icon = nullptr;
    QAction* m_startStop = nullptr;
    QAction* m_copyUrl = nullptr;
};

}  // namespace sarvo::ui
