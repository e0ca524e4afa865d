#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "server/HttpResponse.h"
#include "site/FolderListing.h"
#include "site/HomePage.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/Registry.h"

// The home page and a listing read the settings at every request. This counts the store reads and the
// files opened while one page is built, and times the building, against a real settings store in a
// temporary SARVO_HOME: 200 published folders and 200 published files, a third each of them ".txt",
// ".htm" and ".mp3".
//
// The store's read operations and open() are counted by linking with --wrap (see CMakeLists.txt): a
// read that calls another read counts once.
namespace {

thread_local int g_depth = 0;
long g_storeReads = 0;
std::vector<std::string> g_opened;
bool g_counting = false;

struct Counted {
    Counted() {
        if (g_counting && g_depth == 0)
            ++g_storeReads;
        ++g_depth;
    }
    ~Counted() { --g_depth; }
};

}  // namespace

using sarvo::Hive;
using sarvo::RegistryValue;
using Text = std::string_view;

#define SARVO_WRAP(ret, mangled, params, args)         \
    ret Real_##mangled params asm("__real_" #mangled); \
    ret Wrap_##mangled params asm("__wrap_" #mangled); \
    ret Wrap_##mangled params {                        \
        Counted counted;                               \
        return Real_##mangled args;                    \
    }

SARVO_WRAP(
    bool,
    _ZN5sarvo8ReadTextENS_4HiveESt17basic_string_viewIcSt11char_traitsIcEES4_RNSt7__cxx1112basic_stringIcS3_SaIcEEEm,
    (Hive h, Text k, Text n, std::string& o, size_t s), (h, k, n, o, s))
SARVO_WRAP(bool, _ZN5sarvo10ReadNumberENS_4HiveESt17basic_string_viewIcSt11char_traitsIcEES4_Rj,
           (Hive h, Text k, Text n, uint32_t& o), (h, k, n, o))
SARVO_WRAP(bool, _ZN5sarvo8ReadBlobENS_4HiveESt17basic_string_viewIcSt11char_traitsIcEES4_RSt6vectorIhSaIhEE,
           (Hive h, Text k, Text n, std::vector<uint8_t>& o), (h, k, n, o))
SARVO_WRAP(
    bool,
    _ZN5sarvo10EnumSubkeyENS_4HiveESt17basic_string_viewIcSt11char_traitsIcEEiRNSt7__cxx1112basic_stringIcS3_SaIcEEEm,
    (Hive h, Text k, int i, std::string& o, size_t s), (h, k, i, o, s))
SARVO_WRAP(bool, _ZN5sarvo9EnumValueENS_4HiveESt17basic_string_viewIcSt11char_traitsIcEEiRNS_13RegistryValueE,
           (Hive h, Text k, int i, RegistryValue& o), (h, k, i, o))
SARVO_WRAP(bool, _ZN5sarvo9KeyExistsENS_4HiveESt17basic_string_viewIcSt11char_traitsIcEE, (Hive h, Text k),
           (h, k))
SARVO_WRAP(bool,
           _ZN5sarvo9ReadValueENS_4HiveESt17basic_string_viewIcSt11char_traitsIcEES4_RNS_13RegistryValueE,
           (Hive h, Text k, Text n, RegistryValue& o), (h, k, n, o))

extern "C" int __real_open(const char* path, int flags, ...);
extern "C" int __wrap_open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    if (g_counting)
        g_opened.emplace_back(path);
    return __real_open(path, flags, mode);
}

namespace {

constexpr int kFolders = 200;
constexpr int kFiles = 200;
constexpr int kListingFiles = 10000;

std::string g_home;

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

void PrepareSite() {
    char pattern[] = "/tmp/sarvo-site-bench.XXXXXX";
    g_home = ::mkdtemp(pattern);
    ::setenv("SARVO_HOME", g_home.c_str(), 1);
    std::filesystem::create_directories(g_home + "/files");
    std::filesystem::create_directories(g_home + "/listing");
    for (int i = 0; i < kFolders; ++i) {
        sarvo::SharedFolder folder;
        folder.name = "folder" + std::to_string(1000 + i);
        folder.location = g_home + "/files";
        folder.description = "Folder number " + std::to_string(i);
        folder.canPostFiles = i % 2 == 0;
        folder.zipDownload = i % 3 == 0;
        sarvo::WriteSharedFolder(folder);
    }
    const char* extensions[] = {".txt", ".htm", ".mp3"};
    for (int i = 0; i < kFiles; ++i) {
        std::string name = "file" + std::to_string(1000 + i) + extensions[i % 3];
        std::string path = g_home + "/files/" + name;
        WriteFile(path, i % 3 == 1 ? "<html><title>Page " + std::to_string(i) + "</title></html>"
                                   : std::string(4096, 'x'));
        sarvo::PublishedFileRecord record;
        record.path = path;
        record.realTime = i % 10 == 0;
        sarvo::SetPublishedFile(name, record);
    }
    for (int i = 0; i < kListingFiles; ++i)
        WriteFile(g_home + "/listing/entry" + std::to_string(100000 + i) + ".txt", "listing entry\n");
    sarvo::SharedFolder listing;
    listing.name = "listing";
    listing.location = g_home + "/listing";
    sarvo::WriteSharedFolder(listing);
}

void CountOnePage(benchmark::State& state, void (*build)(sarvo::HttpResponse&)) {
    g_storeReads = 0;
    g_opened.clear();
    g_counting = true;
    sarvo::HttpResponse response;
    build(response);
    g_counting = false;
    size_t titleOpens = 0;
    for (const std::string& path : g_opened) {
        const std::string extension = std::filesystem::path(path).extension();
        if (extension == ".htm" || extension == ".html" || extension == ".mp3")
            ++titleOpens;
    }
    state.counters["store_reads_per_page"] = static_cast<double>(g_storeReads);
    state.counters["files_opened_per_page"] = static_cast<double>(g_opened.size());
    state.counters["of_them_title_files"] = static_cast<double>(titleOpens);
    state.counters["page_bytes"] = static_cast<double>(response.BodyLength());
}

void BuildHome(sarvo::HttpResponse& response) {
    sarvo::BuildHomePage(response);
}
void BuildListing(sarvo::HttpResponse& response) {
    sarvo::BuildFolderListing(response, "/listing/");
}

void BM_HomePage200Folders200Files(benchmark::State& state) {
    for (auto _ : state) {
        sarvo::HttpResponse response;
        sarvo::BuildHomePage(response);
        benchmark::DoNotOptimize(response.BodyLength());
    }
    CountOnePage(state, BuildHome);
}
BENCHMARK(BM_HomePage200Folders200Files)->Unit(benchmark::kMillisecond);

void BM_Listing10000Files(benchmark::State& state) {
    for (auto _ : state) {
        sarvo::HttpResponse response;
        sarvo::BuildFolderListing(response, "/listing/");
        benchmark::DoNotOptimize(response.BodyLength());
    }
    CountOnePage(state, BuildListing);
}
BENCHMARK(BM_Listing10000Files)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    PrepareSite();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_home);
    return 0;
}
