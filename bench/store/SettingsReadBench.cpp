#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "store/SiteSettings.h"

// Settings are read at each use, several times per request, from every connection thread at once; a
// read must stay far below the cost of the request itself. Each read runs against a real settings.db
// in a temporary SARVO_HOME.
namespace {

constexpr uint16_t kStoredPort = 8080;
constexpr char kStoredTitle[] = "Bench Site";
constexpr int kRepetitions = 5;

// Wall time per read as each reading thread sees it: the default time column of a threaded
// benchmark divides by the reads of all threads together, which is throughput, not latency.
template <typename Read>
void MeasureReads(benchmark::State& state, Read read) {
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(read());
    std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    state.counters["us_per_read"] =
        benchmark::Counter(elapsed.count() / static_cast<double>(state.iterations()), benchmark::Counter::kAvgThreads);
}

void BM_GetListenPort(benchmark::State& state) {
    if (sarvo::GetListenPort() != kStoredPort) {
        state.SkipWithError("the stored port does not read back");
        return;
    }
    MeasureReads(state, [] { return sarvo::GetListenPort(); });
}

void BM_GetMainPageTitle(benchmark::State& state) {
    if (sarvo::GetMainPageTitle() != kStoredTitle) {
        state.SkipWithError("the stored title does not read back");
        return;
    }
    MeasureReads(state, [] { return sarvo::GetMainPageTitle(); });
}

// A value never written reads as its default: the path of most settings on a fresh installation.
void BM_MissingValueReadsDefault(benchmark::State& state) {
    MeasureReads(state, [] { return sarvo::IsGuestbookEnabled(); });
}

BENCHMARK(BM_GetListenPort)->Threads(1)->Threads(2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_GetMainPageTitle)->Threads(1)->Threads(2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_MissingValueReadsDefault)->Threads(1)->Threads(2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

class TemporaryHome {
public:
    TemporaryHome() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/sarvo-bench-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
        if (!m_path.empty())
            ::setenv("SARVO_HOME", m_path.c_str(), 1);
    }
    ~TemporaryHome() {
        sarvo::CloseSettingsStore();
        std::error_code error;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, error);
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    bool IsReady() const { return !m_path.empty(); }

private:
    std::string m_path;
};

}  // namespace

int main(int argc, char** argv) {
    TemporaryHome home;
    if (!home.IsReady() || !sarvo::SetListenPort(kStoredPort) || !sarvo::SetMainPageTitle(kStoredTitle)) {
        std::fprintf(stderr, "cannot prepare a settings store in a temporary SARVO_HOME\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
