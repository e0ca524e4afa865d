#include "common/FolderNames.h"

#include <gtest/gtest.h>

#include <string>

namespace sarvo {
namespace {

struct NameCase {
    std::string name;
    FolderNameProblem expected;
};

TEST(CheckFolderName, RefusesServiceNamesForbiddenCharactersAndOverlongNames) {
    const NameCase cases[] = {
        {"Music", FolderNameProblem::None},
        {"My Photos", FolderNameProblem::None},
        {"wow! }~", FolderNameProblem::None},
        {"caf\xC3\xA9", FolderNameProblem::None},
        {std::string(48, 'n'), FolderNameProblem::None},
        {std::string(49, 'n'), FolderNameProblem::TooLong},
        {"", FolderNameProblem::Empty},
        {"guestbook", FolderNameProblem::ServiceName},
        {"WEBCHAT", FolderNameProblem::ServiceName},
        {"WebCommunity", FolderNameProblem::ServiceName},
        {"Webchat2", FolderNameProblem::None},
        {".", FolderNameProblem::DotSegment},
        {"..", FolderNameProblem::DotSegment},
        {"...", FolderNameProblem::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CheckFolderName(c.name), c.expected);
    }
    for (char forbidden : std::string("#&/\\%\"|@:<>?*")) {
        const std::string name = std::string("a") + forbidden + "b";
        SCOPED_TRACE(name);
        EXPECT_EQ(CheckFolderName(name), FolderNameProblem::ForbiddenCharacter);
    }
}

}  // namespace
}  // namespace sarvo
