#include "ui/Uninstall.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "QtTestApp.h"
#include "platform/DesktopEntries.h"
#include "store/FirstRun.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "store/SiteSettings.h"
#include "support/TempFolder.h"
#include "ui/FirstRunStep.h"

namespace {

using sarvo::Hive;

// A home after the first run, with a setting of the owner's and the launchers in place.
class UninstallSteps : public ::testing::Test {
protected:
    void SetUp() override {
        sarvo::test::EnsureQtApplication();
        RunFirstRunStep();
        ASSERT_TRUE(sarvo::SetMainPageTitle("Ann's files"));
        ASSERT_TRUE(sarvo::WriteText(Hive::CurrentUser, sarvo::kFoldersKey, "Music", "/home/ann/Music"));
        ASSERT_TRUE(sarvo::DesktopShortcutExists(sarvo::ProgramShortcut()));
        m_stranger = m_home.WriteFile("applications/other.desktop", "[Desktop Entry]\n");
    }

    sarvo::test::ScopedSarvoHome m_home;
    std::string m_stranger;
};

TEST_F(UninstallSteps, YesRemovesLaunchersAndBothSettingsKeys) {
    sarvo::test::AnswerNextMessageBox(sarvo::test::Answer::Yes);
    EXPECT_TRUE(ConfirmAndRemoveUserData(nullptr));

    EXPECT_FALSE(sarvo::DesktopShortcutExists(sarvo::ProgramShortcut()));
    EXPECT_FALSE(std::filesystem::exists(sarvo::StartMenuFolderPath()));
    EXPECT_FALSE(sarvo::KeyExists(Hive::CurrentUser, sarvo::kProductKey));
    EXPECT_FALSE(sarvo::KeyExists(Hive::LocalMachine, sarvo::kFirstRunKey));
    EXPECT_FALSE(sarvo::HasInitFlag());
    EXPECT_TRUE(std::filesystem::exists(m_stranger));
}

TEST_F(UninstallSteps, NoChangesNothing) {
    sarvo::test::AnswerNextMessageBox(sarvo::test::Answer::No);
    EXPECT_FALSE(ConfirmAndRemoveUserData(nullptr));

    EXPECT_TRUE(sarvo::DesktopShortcutExists(sarvo::ProgramShortcut()));
    EXPECT_TRUE(std::filesystem::exists(sarvo::StartMenuShortcutPath(sarvo::ProgramShortcut())));
    EXPECT_EQ(sarvo::GetMainPageTitle(), "Ann's files");
    EXPECT_TRUE(sarvo::HasInitFlag());
}

}  // namespace
