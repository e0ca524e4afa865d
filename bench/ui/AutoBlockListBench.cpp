#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "store/Registry.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/AutoBlockerDialog.h"
#include "ui/dialogs/DialogTexts.h"

// The auto-block list grows with every visitor the server blocks. The owner opens the Auto Blocker
// dialog over ten thousand addresses and removes them, all or every other one; neither may freeze the
// window. Runs offscreen against a real settings.db in a temporary SARVO_HOME.
namespace {

constexpr int kAddresses = 10000;

std::vector<uint8_t> ManyAddresses() {
    std::vector<uint8_t> list;
    for (int i = 0; i < kAddresses; ++i) {
        list.insert(list.end(), {10, static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 8),
                                 static_cast<uint8_t>(i)});
    }
    return list;
}

void BM_OpenAutoBlocker(benchmark::State& state) {
    for (auto _ : state) {
        sarvo::ui::AutoBlockerDialog dialog(nullptr);
        dialog.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(dialog.findChild<QListWidget*>(sarvo::ui::kAutoBlockList)->count());
    }
}

// range(0): 1 removes every row, 2 every other row.
void BM_RemoveRows(benchmark::State& state) {
    const int step = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        sarvo::ui::AutoBlockerDialog dialog(nullptr);
        dialog.show();
        auto* list = dialog.findChild<QListWidget*>(sarvo::ui::kAutoBlockList);
        for (int row = 0; row < list->count(); row += step)
            list->item(row)->setSelected(true);
        QApplication::processEvents();
        state.ResumeTiming();
        dialog.findChild<QPushButton*>(sarvo::ui::kRemoveButton)->click();
        QApplication::processEvents();
        if (list->count() != kAddresses - kAddresses / step)
            state.SkipWithError("the wrong rows were removed");
    }
}

BENCHMARK(BM_OpenAutoBlocker)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveRows)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::string folder = (std::filesystem::temp_directory_path() / "sarvo-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 1;
    ::setenv("SARVO_HOME", folder.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int status = 0;
    {
        QApplication application(argc, argv);
        if (!sarvo::WriteAutoBlockList(ManyAddresses()))
            status = 1;
        benchmark::Initialize(&argc, argv);
        if (status == 0)
            benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    sarvo::CloseSettingsStore();
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return status;
}
