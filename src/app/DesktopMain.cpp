// sarvo: the desktop program. One copy per user and settings folder; the control window runs on the
// main thread, the server in its own threads.
#include <QApplication>

#include "platform/ProcessPriority.h"
#include "server/HttpServer.h"
#include "services/CommunityLogins.h"
#include "services/ServiceHandlers.h"
#include "site/SiteHandlers.h"
#include "store/SiteSettings.h"
#include "ui/ApplicationLook.h"
#include "ui/FirstRunStep.h"
#include "ui/MainWindow.h"
#include "ui/SingleInstance.h"
#include "ui/TrayController.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);

    SingleInstance instance;
    if (instance.ActivateRunningCopy())
        return 0;
    instance.Listen();

    RunFirstRunStep();
    // An unreadable setting keeps the normal priority.
    if (sarvo::UseIdleProcess())
        sarvo::SetProcessPriority(sarvo::ProcessPriority::Idle);

    sarvo::ui::ApplyApplicationLook(application);
    sarvo::RegisterSiteHandlers();
    sarvo::RegisterServiceHandlers();

    sarvo::ui::MainWindow window;
    sarvo::ui::TrayController tray(window);
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     &sarvo::ui::MainWindow::BringToFront);
    // The window hidden while the server runs keeps the program alive; only its end ends it, with the
    // window's result as the exit code.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &QDialog::finished, &application,
                     [](int result) { QCoreApplication::exit(result); });
    sarvo::StartCommunityLogins();
    window.show();
    const int result = application.exec();
    window.CloseChatRoom();
    sarvo::StopServer();
    sarvo::WaitForServerThread();
    sarvo::StopCommunityLogins();
    return result;
}
