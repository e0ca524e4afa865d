#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "server/HttpResponse.h"
#include "services/CommunityHosting.h"
#include "services/CommunityStore.h"
#include "store/Registry.h"
#include "store/SiteSettings.h"

// The community page of a host, built in memory against a real settings store in a temporary
// SARVO_HOME holding N members that have logged in: the page's cost per member should stay flat as N
// grows.
namespace {

class Home {
public:
    Home() {
        char pattern[] = "/tmp/sarvo-community-bench-XXXXXX";
        m_path = ::mkdtemp(pattern);
        ::setenv("SARVO_HOME", m_path.c_str(), 1);
    }
    ~Home() {
        sarvo::CloseSettingsStore();
        std::filesystem::remove_all(m_path);
    }

private:
    std::string m_path;
};

void BM_CommunityPage(benchmark::State& state) {
    Home home;
    sarvo::SetWebCommHost(true);
    const int members = static_cast<int>(state.range(0));
    for (int i = 0; i < members; ++i) {
        std::string id = "member-" + std::to_string(i);
        sarvo::StoreCommunityMember({id,
                                     "Site " + std::to_string(i),
                                     "http://10.0.0.1/" + id + "/",
                                     "Member number " + std::to_string(i) + " of the benchmark",
                                     {2026, 1, 1, 1}});
    }
    size_t bytes = 0;
    for (auto _ : state) {
        sarvo::HttpResponse response;
        sarvo::BuildCommunityPage(response);
        bytes = response.BodyText().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["page_bytes"] = static_cast<double>(bytes);
    state.counters["ns_per_member"] =
        benchmark::Counter(static_cast<double>(members),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CommunityPage)->Arg(250)->Arg(1000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
