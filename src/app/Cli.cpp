#include "app/Cli.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ostream>

#include "app/CliArguments.h"
#include "common/Text.h"

namespace sarvo::cli {
namespace {

constexpr char kUsage[] =
    "Usage: sarvo-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Configuration of the Sarvo web server, over the same settings the desktop program uses.\n"
    "\n"
    "Commands:\n"
    "  share add NAME PATH [--no-listing] [--subfolders] [--post] [--zip] [--desc TEXT]\n"
    "  share list | share set NAME ... | share remove NAME\n"
    "  publish FILE | publish list | publish set NAME ... | publish remove NAME\n"
    "  get NAME | set NAME VALUE          read or change a server setting\n"
    "  user add NAME PASSWORD | user remove NAME | user list\n"
    "  export-reg FILE | import-reg FILE  move settings from and to a Windows .reg file\n"
    "  guestbook list | guestbook read NAME | guestbook delete NAME... | guestbook folder\n"
    "  serve [--quiet] [--webchat[=MAX]]  run the web server until SIGINT or SIGTERM\n"
    "  community members|add-member|remove-member|hosts|join|update|leave|login\n"
    "                                     the web community, as host and as member\n"
    "\n"
    "Every command takes --help. A refused command changes nothing and exits with 2.\n";

using CommandRunner = int (*)(const std::vector<std::string>&, CliStreams);

struct CommandEntry {
    const char* name;
    CommandRunner run;
};

constexpr CommandEntry kCommands[] = {
    {"share", RunShareCommand},
    {"publish", RunPublishCommand},
    {"get", RunGetCommand},
    {"set", RunSetCommand},
    {"user", RunUserCommand},
    {"export-reg", RunExportRegCommand},
    {"import-reg", RunImportRegCommand},
    {"guestbook", RunGuestbookCommand},
    {"serve", RunServeCommand},
    {"community", RunCommunityCommand},
};

}  // namespace

int Refuse(CliStreams streams, const std::string& message) {
    streams.err << "sarvo-cli: " << message << "\n";
    return kExitRefused;
}

std::string AbsolutePath(const std::string& path) {
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd))
            absolute = std::string(cwd) + "/" + absolute;
    }
    char resolved[PATH_MAX];
    if (::realpath(absolute.c_str(), resolved))
        absolute = resolved;
    NormalizePath(absolute);
    return absolute;
}

int RunCli(const std::vector<std::string>& arguments, CliStreams streams) {
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "help") {
        streams.out << kUsage;
        return arguments.empty() ? kExitRefused : kExitOk;
    }
    std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    for (const auto& command : kCommands) {
        if (arguments[0] == command.name)
            return command.run(rest, streams);
    }
    streams.err << kUsage;
    return Refuse(streams, "unknown command " + arguments[0]);
}

}  // namespace sarvo::cli
