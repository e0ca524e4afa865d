#include "CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace sarvo::pictorn {
namespace {

struct CommandLineCase {
    const char* description;
    std::vector<std::string_view> args;
    CommandLineAction action;
    std::string folder;
    SubFolders subFolders;
};

TEST(ParseCommandLine, AcceptsWhatTheServerPassesAndRefusesTheRest) {
    const CommandLineCase cases[] = {
        {"server, with sub-folders",
         {"/srv/photos", "1"},
         CommandLineAction::Run,
         "/srv/photos",
         SubFolders::Include},
        {"server, folder alone",
         {"/srv/photos", "0"},
         CommandLineAction::Run,
         "/srv/photos",
         SubFolders::Skip},
        {"flag left out", {"My Photos"}, CommandLineAction::Run, "My Photos", SubFolders::Skip},
        {"long help", {"--help"}, CommandLineAction::ShowHelp, "", SubFolders::Skip},
        {"short help after folder", {"/srv/photos", "-h"}, CommandLineAction::ShowHelp, "", SubFolders::Skip},
        {"folder starting with a dash",
         {"--", "-raw-", "1"},
         CommandLineAction::Run,
         "-raw-",
         SubFolders::Include},
        {"nothing", {}, CommandLineAction::Refuse, "", SubFolders::Skip},
        {"empty folder", {""}, CommandLineAction::Refuse, "", SubFolders::Skip},
        {"flag not 1 or 0", {"/srv/photos", "yes"}, CommandLineAction::Refuse, "", SubFolders::Skip},
        {"flag 2", {"/srv/photos", "2"}, CommandLineAction::Refuse, "", SubFolders::Skip},
        {"three arguments", {"/srv/photos", "1", "extra"}, CommandLineAction::Refuse, "", SubFolders::Skip},
        {"unknown option", {"--fast", "/srv/photos"}, CommandLineAction::Refuse, "", SubFolders::Skip},
        {"lone dash is a folder name", {"-"}, CommandLineAction::Run, "-", SubFolders::Skip},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        PictornOptions options;
        std::string problem;
        EXPECT_EQ(ParseCommandLine(c.args, options, problem), c.action);
        if (c.action == CommandLineAction::Run) {
            EXPECT_EQ(options.folder, c.folder);
            EXPECT_EQ(options.subFolders, c.subFolders);
        }
        EXPECT_EQ(problem.empty(), c.action != CommandLineAction::Refuse) << problem;
    }
}

TEST(UsageText, ListsTheFormatsItIsGiven) {
    const std::string text = UsageText("jpg, png, heic");
    EXPECT_NE(text.find("jpg, png, heic"), std::string::npos);
    EXPECT_NE(text.find("pixindex.$$$"), std::string::npos);
}

}  // namespace
}  // namespace sarvo::pictorn
