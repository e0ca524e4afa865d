// Screenshots of the real window under a real X server, for a person to review the layout: the window
// stopped, running with a published folder selected, the QR code of that folder's address, and with a
// few visits in the clients list.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTreeView>

#include <cstdio>
#include <fstream>

#include "server/HttpServer.h"
#include "support/LoopbackServer.h"
#include "ui/ApplicationLook.h"
#include "ui/FoldersListView.h"
#include "ui/MainWindow.h"
#include "ui/QrCodeDialog.h"
#include "ui/WindowFixture.h"

namespace {

bool Save(QWidget& window, const QString& folder, const char* name) {
    sarvo::test::WaitFor([] { return false; }, 300);  // let the window paint
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    sarvo::ui::ApplyApplicationLook(application);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);

    sarvo::test::WindowHome home;
    const std::string music = home.ShareFolder("Music");
    std::ofstream(music + "/Intro.txt") << "A short introduction.\n";
    std::ofstream(music + "/Songbook.html") << "<html><head><title>Songs We Sing</title></head></html>\n";
    std::filesystem::create_directories(music + "/Live recordings");
    home.ShareFolder("Photos", false, true, true, true);

    sarvo::ui::MainWindow window;
    window.show();
    bool ok = sarvo::test::WaitFor([&] { return window.isVisible(); });
    ok = Save(window, folder, "main-stopped.png") && ok;

    ok = sarvo::test::StartThroughButton(window) && sarvo::IsServerRunning() && ok;
    ok = sarvo::test::SelectFolderRow(window.Folders(), QStringLiteral("Music")) && ok;
    window.Folders().setFocus();
    ok = Save(window, folder, "main-running-folder.png") && ok;
    {
        sarvo::ui::QrCodeDialog qrCode(window.UrlText(), &window);
        qrCode.show();
        ok = Save(qrCode, folder, "qr-code.png") && ok;
    }

    for (const char* path : {"/", "/Music/", "/Music/Intro.txt", "/nothing-here"})
        sarvo::test::Exchange(home.Port(), std::string("GET ") + path + " HTTP/1.1\r\nHost: x\r\n\r\n");
    sarvo::test::WaitFor([] { return sarvo::ActiveConnectionCount() == 0; });
    ok = Save(window, folder, "clients-visits.png") && ok;

    sarvo::StopServer();
    sarvo::WaitForServerThread();
    return ok ? 0 : 1;
}
