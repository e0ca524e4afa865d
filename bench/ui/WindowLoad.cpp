// The control window under load: starts the server through the window's own button, with the clients
// list receiving every event, and measures how late a 10 ms timer on the GUI thread fires. Prints
// "listening" once the server runs, then after the given seconds the lateness figures, and exits.
// Usage: window_load SECONDS   (settings from SARVO_HOME; run under a display or offscreen)
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "server/HttpServer.h"
#include "services/ServiceHandlers.h"
#include "site/SiteHandlers.h"
#include "ui/ApplicationLook.h"
#include "ui/ClientsListView.h"
#include "ui/MainWindow.h"

namespace {

constexpr int kTickMs = 10;

double Percentile(std::vector<double> samples, double fraction) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t index = std::min(samples.size() - 1, static_cast<size_t>(fraction * samples.size()));
    return samples[index];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    sarvo::ui::ApplyApplicationLook(application);
    sarvo::RegisterSiteHandlers();
    sarvo::RegisterServiceHandlers();

    sarvo::ui::MainWindow window;
    window.show();
    std::vector<double> lateMs;
    QElapsedTimer clock;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(kTickMs);
    qint64 expected = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        lateMs.push_back(std::max<qint64>(0, now - expected) / 1e6);
        expected = now + kTickMs * 1'000'000LL;
    });
    QObject::connect(&window, &sarvo::ui::MainWindow::serverStateChanged, [&](bool running) {
        if (!running)
            return;
        std::printf("listening\n");
        std::fflush(stdout);
        clock.start();
        expected = kTickMs * 1'000'000LL;
        tick.start();
        QTimer::singleShot(seconds * 1000, &application, [&] {
            tick.stop();
            std::printf("gui lateness over %zu ticks: p50 %.1f ms, p99 %.1f ms, max %.1f ms; rows shown %d\n",
                        lateMs.size(), Percentile(lateMs, 0.50), Percentile(lateMs, 0.99),
                        Percentile(lateMs, 1.0), window.Clients().Model().rowCount());
            std::fflush(stdout);
            application.quit();
        });
    });
    QTimer::singleShot(0, &window, &sarvo::ui::MainWindow::ToggleServer);
    const int status = application.exec();
    sarvo::StopServer();
    sarvo::WaitForServerThread();
    return status;
}
