// Settings are read at every use, about ten per request, so one read must stay in microseconds.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "store/Registry.h"
#include "store/SiteSettings.h"

namespace {

// A settings home of its own, with the values written once so that reads find stored data.
class BenchHome {
public:
    BenchHome() {
        char pattern[] = "/tmp/sarvo-bench-XXXXXX";
        m_path = ::mkdtemp(pattern);
        ::setenv("SARVO_HOME", m_path.c_str(), 1);
        sarvo::SetListenPort(8080);
        sarvo::SetMainPageTitle("Benchmark site");
    }
    ~BenchHome() {
        sarvo::CloseSettingsStore();
        std::filesystem::remove_all(m_path);
    }

private:
    std::string m_path;
};

BenchHome& Home() {
    static BenchHome home;
    return home;
}

void ReadNumber(benchmark::State& state) {
    Home();
    for (auto _ : state)
        benchmark::DoNotOptimize(sarvo::GetListenPort());
}

void ReadText(benchmark::State& state) {
    Home();
    for (auto _ : state)
        benchmark::DoNotOptimize(sarvo::GetMainPageTitle());
}

void ReadMissingValue(benchmark::State& state) {
    Home();
    for (auto _ : state)
        benchmark::DoNotOptimize(sarvo::GetSiteIntro());
}

BENCHMARK(ReadNumber)->Threads(1)->Threads(2)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(ReadText)->Threads(1)->Threads(2)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(ReadMissingValue)->Threads(1)->Threads(2)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
