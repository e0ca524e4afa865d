// pictorn: makes the thumbnail index of a folder for the web server's "Image Thumbnails" page.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "CommandLine.h"
#include "IndexRun.h"
#include "PictureFinder.h"
#include "PreviewMaker.h"
#include "ProgressReport.h"

namespace {

using namespace sarvo::pictorn;

// Each worker decodes whole pictures, so more workers than cores only add memory; a machine that
// cannot tell its core count gets the two the tool is sized for.
constexpr unsigned kFallbackWorkers = 2;
constexpr unsigned kMaxWorkers = 16;

std::atomic<bool> g_stop{false};

void RequestStop(int) {
    g_stop.store(true);
}

unsigned WorkerCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? kFallbackWorkers : std::min(cores, kMaxWorkers);
}

std::string JoinEndings(const std::vector<std::string>& endings) {
    std::string text;
    for (const std::string& ending : endings) {
        text += (text.empty() ? "" : ", ") + ending;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    PictornOptions options;
    std::string problem;
    const CommandLineAction action = ParseCommandLine(args, options, problem);

    sarvo::pictorn::VipsRuntime vips;
    std::string error;
    // libvips starts before --help too: the help lists the formats this machine's libvips reads.
    if (!vips.Start(argv[0], error)) {
        std::fprintf(stderr, "pictorn: %s\n", error.c_str());
        return kExitIndexFailed;
    }
    const std::vector<std::string> endings = ReadablePictureEndings();

    if (action == CommandLineAction::ShowHelp) {
        std::fputs(UsageText(JoinEndings(endings)).c_str(), stdout);
        return kExitOk;
    }
    if (action == CommandLineAction::Refuse) {
        std::fprintf(stderr, "pictorn: %s\nTry 'pictorn --help'.\n", problem.c_str());
        return kExitUsage;
    }

    std::error_code fileError;
    if (!std::filesystem::is_directory(options.folder, fileError)) {
        const bool exists = std::filesystem::exists(options.folder, fileError);
        std::fprintf(stderr, "pictorn: %s: %s\n", options.folder.c_str(),
                     exists ? "not a folder" : "no such folder");
        return kExitUsage;
    }
    // The read-only media check and the cache path need the folder's place on its volume; relative
    // paths would also change meaning if anything changed the working folder.
    const std::filesystem::path absolute = std::filesystem::absolute(options.folder, fileError);
    if (!fileError) {
        options.folder = absolute.lexically_normal().string();
        if (options.folder.size() > 1 && options.folder.back() == '/') {
            options.folder.pop_back();
        }
    }

    struct sigaction stopAction {};
    stopAction.sa_handler = RequestStop;
    ::sigaction(SIGINT, &stopAction, nullptr);
    ::sigaction(SIGTERM, &stopAction, nullptr);

    ProgressReport report(ProgressStyleForStderr(), stdout, stderr);
    std::vector<std::string> problems;
    std::vector<PictureFolder> folders =
        FindPictureFolders(options.folder, options.subFolders, endings, problems);
    for (const std::string& text : problems) {
        report.Problem(text);
    }

    IndexRun run(std::move(folders), PreviewEncoding::Gif, report, g_stop);
    run.Run(WorkerCount());
    const RunCounts counts = report.Finish();

    if (g_stop.load()) {
        return kExitInterrupted;
    }
    return counts.indexesFailed > 0 || !problems.empty() ? kExitIndexFailed : kExitOk;
}
