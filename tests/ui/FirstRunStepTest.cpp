#include "ui/FirstRunStep.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/DesktopEntries.h"
#include "store/FirstRun.h"
#include "store/SiteSettings.h"
#include "support/DesktopEntryCheck.h"
#include "support/TempFolder.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(FirstRunStep, WritesBothValidEntriesAndSwitchesToIdlePriority) {
    sarvo::test::ScopedSarvoHome home;
    ASSERT_FALSE(sarvo::HasInitFlag());
    ASSERT_FALSE(sarvo::UseIdleProcess());

    RunFirstRunStep();

    EXPECT_TRUE(sarvo::HasInitFlag());
    EXPECT_TRUE(sarvo::UseIdleProcess());
    sarvo::Shortcut shortcut = sarvo::ProgramShortcut();
    for (const std::string& path :
         {home.Child("Desktop/sarvo.desktop"), home.Child("applications/keldanworks/sarvo.desktop")}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(std::filesystem::exists(path));
        sarvo::test::DesktopEntryVerdict verdict = sarvo::test::ValidateDesktopEntry(path);
        EXPECT_EQ(verdict.status, 0) << verdict.output;
        std::string text = ReadFile(path);
        EXPECT_NE(text.find("\nExec=" + sarvo::QuoteExecArgument(sarvo::GetProgramPath()) + "\n"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("\nComment=Portable HTTP Server\n"), std::string::npos) << text;
    }
}

TEST(FirstRunStep, LaterStartsLeaveTheOwnersChoicesAlone) {
    sarvo::test::ScopedSarvoHome home;
    RunFirstRunStep();
    ASSERT_TRUE(sarvo::DeleteDesktopShortcut(sarvo::ProgramShortcut()));
    ASSERT_TRUE(sarvo::SetUseIdleProcess(false));

    RunFirstRunStep();

    EXPECT_FALSE(sarvo::DesktopShortcutExists(sarvo::ProgramShortcut()));
    EXPECT_FALSE(sarvo::UseIdleProcess());
}

}  // namespace
