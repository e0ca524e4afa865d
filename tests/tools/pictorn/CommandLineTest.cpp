#include "CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace sarvo::pictorn {
namespace {

TEST(ParseCommandLine, AcceptsWhatTheServerPassesAndRefusesTheRest) {
    using enum CommandLineAction;
    using enum SubFolders;
    struct Case {
        const char* description;
        std::vector<std::string_view> args;
        CommandLineAction action;
        std::string folder;
        SubFolders subFolders;
    };
    const Case cases[] = {
        {"server, with sub-folders", {"/srv/photos", "1"}, Run, "/srv/photos", Include},
        {"server, folder alone", {"/srv/photos", "0"}, Run, "/srv/photos", Skip},
        {"flag left out", {"My Photos"}, Run, "My Photos", Skip},
        {"folder starting with a dash", {"--", "-raw-", "1"}, Run, "-raw-", Include},
        {"lone dash is a folder name", {"-"}, Run, "-", Skip},
        {"long help", {"--help"}, ShowHelp, "", Skip},
        {"short help after folder", {"/srv/photos", "-h"}, ShowHelp, "", Skip},
        {"nothing", {}, Refuse, "", Skip},
        {"empty folder", {""}, Refuse, "", Skip},
        {"flag not 1 or 0", {"/srv/photos", "2"}, Refuse, "", Skip},
        {"three arguments", {"/srv/photos", "1", "extra"}, Refuse, "", Skip},
        {"unknown option", {"--fast", "/srv/photos"}, Refuse, "", Skip},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        PictornOptions options;
        std::string problem;
        EXPECT_EQ(ParseCommandLine(c.args, options, problem), c.action);
        if (c.action == Run) {
            EXPECT_EQ(options.folder, c.folder);
            EXPECT_EQ(options.subFolders, c.subFolders);
        }
        EXPECT_EQ(problem.empty(), c.action != Refuse) << problem;
    }
}

}  // namespace
}  // namespace sarvo::pictorn
