#pragma once

#include <span>
#include <string>
#include <string_view>

// What the server's folder dialog passes, `pictorn "FOLDER" 1|0`, and what a person at a terminal may
// add to it.
namespace sarvo::pictorn {

enum class SubFolders { Skip, Include };

struct PictornOptions {
    std::string folder;
    SubFolders subFolders = SubFolders::Skip;
};

enum class CommandLineAction { Run, ShowHelp, Refuse };

// args are the arguments after the program name. Refuse comes with a one-line problem text.
CommandLineAction ParseCommandLine(std::span<const std::string_view> args, PictornOptions& out,
                                   std::string& problem);

// The --help text; formats lists the picture name endings this machine can read.
std::string UsageText(std::string_view formats);

// Exit codes a caller can rely on.
inline constexpr int kExitOk = 0;
inline constexpr int kExitIndexFailed = 1;  // at least one index could not be written
inline constexpr int kExitUsage = 2;        // bad arguments or a folder that does not exist
inline constexpr int kExitInterrupted = 130;

}  // namespace sarvo::pictorn
