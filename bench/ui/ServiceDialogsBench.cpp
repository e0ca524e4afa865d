#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "server/Logbook.h"
#include "server/LogbookOwner.h"
#include "services/CommunityStore.h"
#include "services/GuestbookOwner.h"
#include "ui/dialogs/CommunityHostDialog.h"
#include "ui/dialogs/CommunityMemberDialog.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/GuestbookDialog.h"
#include "ui/dialogs/LogbookViewerDialog.h"
#include "ui/dialogs/ReportList.h"

// The owner's dialogs over the sizes visitors can make, in a temporary SARVO_HOME on the offscreen
// platform: a logbook of 100 MB with a text in 10,000 of its records, a guestbook of 10,000 messages,
// a report list of 10,000 rows, and the community dialogs over 10,000 records each. "gui_max_gap_ms" is the
// longest the GUI thread went without serving a 10 ms timer while the dialog worked: how long the window
// stood still.
namespace {

constexpr size_t kLogbookBytes = 100u * 1024 * 1024;
constexpr int kMatchingRecords = 10000;
constexpr int kGuestbookMessages = 10000;
constexpr int kCommunityRecords = 10000;
constexpr char kSearchText[] = "fjord-night.jpg";

std::string g_home;

std::string LogRecord(size_t index, bool matching) {
    char head[160];
    std::snprintf(head, sizeof head, "Time: 2026-12-07 %02zu:%02zu:%02zu\r\nAddr: 10.0.%zu.%zu:%zu\r\n",
                  index / 3600 % 24, index / 60 % 60, index % 60, index / 256 % 256, index % 256,
                  49152 + index % 16000);
    std::string record = head;
    record += matching ? "GET /Holiday%20Pictures/fjord-night.jpg HTTP/1.1\r\n"
                       : "GET /Music/Grieg%20-%20Morning%20Mood.mp3 HTTP/1.1\r\n";
    record +=
        "Host: anna.example.net:8080\r\nUser-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:128.0) "
        "Gecko/20100101 Firefox/128.0\r\nAccept: */*\r\nRange: bytes=0-\r\n";
    record.append(sarvo::kLogSeparatorLength, '=');
    record += "\r\n";
    return record;
}

void WriteLogbookFile() {
    const size_t recordSize = LogRecord(0, false).size();
    const size_t records = kLogbookBytes / recordSize;
    const size_t every = records / kMatchingRecords;
    std::ofstream out(sarvo::LogbookPath(), std::ios::binary | std::ios::trunc);
    for (size_t i = 0; i < records; ++i)
        out << LogRecord(i, i % every == 0 && i / every < static_cast<size_t>(kMatchingRecords));
}

void WriteGuestbook() {
    const std::string folder = g_home + "/SarvoGuestbook";
    std::filesystem::create_directories(folder);
    for (int i = 0; i < kGuestbookMessages; ++i) {
        std::ofstream(folder + "/10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250) + ".txt")
            << "Hello from visitor " << i << "! Lovely pictures of the fjord.\r\nSee you next summer.";
    }
}

// Runs work, then serves events until done() holds; returns the longest gap between two ticks of a
// 10 ms timer meanwhile.
double RunServingEvents(const std::function<void()>& work, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start(10);
    work();
    longest = std::max(longest, clock.elapsed() - last);
    last = clock.elapsed();
    while (!done())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return static_cast<double>(std::max(longest, clock.elapsed() - last));
}

void TimeLogbookRead(benchmark::State& state,
                     const std::function<void(sarvo::ui::LogbookViewerDialog&)>& start) {
    sarvo::ui::LogbookViewerDialog dialog(nullptr);
    dialog.show();
    double gap = 0;
    for (auto _ : state) {
        bool loaded = false;
        auto connection =
            QObject::connect(&dialog, &sarvo::ui::LogbookViewerDialog::Loaded, [&] { loaded = true; });
        gap = std::max(gap, RunServingEvents([&] { start(dialog); },
                                             [&] {
                                                 if (!loaded)
                                                     return false;
                                                 dialog.repaint();
                                                 return true;
                                             }));
        QObject::disconnect(connection);
    }
    state.counters["lines"] = static_cast<double>(dialog.ShownLines().starts.size());
    state.counters["gui_max_gap_ms"] = gap;
}

// The same gap with nothing to do for 700 ms: what the machine's load alone costs the GUI thread.
void BM_IdleGuiGap(benchmark::State& state) {
    double gap = 0;
    for (auto _ : state) {
        QElapsedTimer waited;
        waited.start();
        gap = std::max(gap, RunServingEvents([] {}, [&waited] { return waited.elapsed() >= 700; }));
    }
    state.counters["gui_max_gap_ms"] = gap;
}
BENCHMARK(BM_IdleGuiGap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_LogbookShow100MB(benchmark::State& state) {
    TimeLogbookRead(state, [](sarvo::ui::LogbookViewerDialog& dialog) { dialog.Refresh(); });
}
BENCHMARK(BM_LogbookShow100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_LogbookListRecords100MB(benchmark::State& state) {
    TimeLogbookRead(state, [](sarvo::ui::LogbookViewerDialog& dialog) {
        dialog.ListRecordsContaining(QString::fromLatin1(kSearchText));
    });
}
BENCHMARK(BM_LogbookListRecords100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The steps of the two above that run on the worker, one by one.
void BM_ReadLogbook100MB(benchmark::State& state) {
    for (auto _ : state) {
        std::string text;
        benchmark::DoNotOptimize(sarvo::ReadLogbook(text));
    }
}
BENCHMARK(BM_ReadLogbook100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ListLogRecords100MB(benchmark::State& state) {
    std::string text;
    sarvo::ReadLogbook(text);
    size_t listed = 0;
    for (auto _ : state)
        listed = sarvo::ListLogRecords(text, kSearchText).size();
    state.counters["bytes_listed"] = static_cast<double>(listed);
}
BENCHMARK(BM_ListLogRecords100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_SplitLogbookLines100MB(benchmark::State& state) {
    std::string text;
    sarvo::ReadLogbook(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(sarvo::ui::SplitLogbookLines(text));
}
BENCHMARK(BM_SplitLogbookLines100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_GuestbookFill10000(benchmark::State& state) {
    sarvo::ui::GuestbookDialog dialog(nullptr, {});
    dialog.show();
    auto* list = dialog.findChild<sarvo::ui::ReportList*>(sarvo::ui::kReceivedMessages);
    for (auto _ : state) {
        dialog.FillMessages();
        dialog.repaint();
    }
    state.counters["rows"] = list->Model().rowCount();
}
BENCHMARK(BM_GuestbookFill10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// A header click on a list of 10,000 members, and the repaint after it.
void BM_ReportListSort10000(benchmark::State& state) {
    sarvo::ui::ReportList list(
        "Members", {{"ID", 100, {}, sarvo::ui::ReportColumn::SortAs::Number}, {"Name", 150}, {"IP", 0}},
        sarvo::ui::ReportList::Sorting::ByHeaderClick, nullptr);
    std::vector<QStringList> rows;
    for (int i = 0; i < 10000; ++i)
        rows.push_back({QString::number(4000000000u - static_cast<unsigned>(i) * 7919u),
                        QStringLiteral("Guest %1").arg((i * 7919) % 10000),
                        QStringLiteral("10.2.%1.%2").arg(i / 250).arg(i % 250)});
    list.Model().SetRows(std::move(rows));
    list.resize(500, 400);
    list.show();
    int column = 0;
    for (auto _ : state) {
        list.sortByColumn(column, column % 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
        list.repaint();
        column = (column + 1) % 3;
    }
}
BENCHMARK(BM_ReportListSort10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

// The community dialogs opened over 10,000 records: the store read, the rows and the first paint.
void FillCommunityRecords() {
    for (int i = 0; i < kCommunityRecords; ++i) {
        sarvo::SystemTime login{};
        login.year = 2026;
        login.month = 12;
        login.day = static_cast<uint16_t>(1 + i % 28);
        const std::string id = "member" + std::to_string(i);
        sarvo::StoreCommunityMember(
            {id, "Garden " + std::to_string(i),
             "http://10.3." + std::to_string(i / 250) + "." + std::to_string(i % 250) + "/",
             "Roses, apples and a greenhouse", login});
        sarvo::CommunityHost host;
        host.id = id;
        host.memberName = "Anna's Holiday Pictures";
        host.loginUrl = "http://host" + std::to_string(i) + ".example.org/WebCommunity/login";
        host.hostName = "Community " + std::to_string(i);
        host.lastLogin = login;
        sarvo::StoreCommunityHost(host);
    }
}

template <typename Dialog>
void TimeCommunityDialog(benchmark::State& state, const char* listName) {
    int rows = 0;
    for (auto _ : state) {
        Dialog dialog(nullptr, sarvo::ui::ShellActions{});
        dialog.show();
        dialog.repaint();
        rows = dialog.template findChild<sarvo::ui::ReportList*>(listName)->Model().rowCount();
    }
    state.counters["rows"] = rows;
}

void BM_CommunityHostDialog10000(benchmark::State& state) {
    TimeCommunityDialog<sarvo::ui::CommunityHostDialog>(state, sarvo::ui::kCommunityMembersList);
}
BENCHMARK(BM_CommunityHostDialog10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_CommunityMemberDialog10000(benchmark::State& state) {
    TimeCommunityDialog<sarvo::ui::CommunityMemberDialog>(state, sarvo::ui::kCommunityHostsList);
}
BENCHMARK(BM_CommunityMemberDialog10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char pattern[] = "/tmp/sarvo-dialogs-bench-XXXXXX";
    g_home = ::mkdtemp(pattern);
    ::setenv("SARVO_HOME", g_home.c_str(), 1);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    WriteLogbookFile();
    WriteGuestbook();
    FillCommunityRecords();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_home);
    return 0;
}
