#include "ui/BringWindowToFront.h"

#include <QApplication>
#include <QWidget>

void BringWindowToFront(QWidget* window) {
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    // Activation is asynchronous and may be refused; an alert on a window that does become active
    // is cleared by the window manager at once.
    QApplication::alert(window);
}
