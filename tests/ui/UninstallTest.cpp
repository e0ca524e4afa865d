#include "ui/Uninstall.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/DesktopEntries.h"
#include "store/FirstRun.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "store/SiteSettings.h"
#include "support/TempFolder.h"
#include "ui/FirstRunStep.h"
#include "ui/WindowFixture.h"

namespace {

using sarvo::Hive;

// A home after the first run, with a setting of the owner's and the launchers in place: No changes
// nothing, Yes then removes the launchers and both settings keys.
TEST(UninstallSteps, NoChangesNothingAndYesRemovesLaunchersAndBothSettingsKeys) {
    sarvo::test::ScopedSarvoHome home;
    RunFirstRunStep();
    ASSERT_TRUE(sarvo::SetMainPageTitle("Ann's files"));
    ASSERT_TRUE(sarvo::WriteText(Hive::CurrentUser, sarvo::kFoldersKey, "Music", "/home/ann/Music"));
    ASSERT_TRUE(sarvo::DesktopShortcutExists(sarvo::ProgramShortcut()));
    const std::string stranger = home.WriteFile("applications/other.desktop", "[Desktop Entry]\n");

    sarvo::test::AnswerNextMessageBox(QMessageBox::No);
    EXPECT_FALSE(ConfirmAndRemoveUserData(nullptr));
    EXPECT_TRUE(sarvo::DesktopShortcutExists(sarvo::ProgramShortcut()));
    EXPECT_TRUE(std::filesystem::exists(sarvo::StartMenuShortcutPath(sarvo::ProgramShortcut())));
    EXPECT_EQ(sarvo::GetMainPageTitle(), "Ann's files");
    EXPECT_TRUE(sarvo::HasInitFlag());

    sarvo::test::AnswerNextMessageBox(QMessageBox::Yes);
    EXPECT_TRUE(ConfirmAndRemoveUserData(nullptr));
    EXPECT_FALSE(sarvo::DesktopShortcutExists(sarvo::ProgramShortcut()));
    EXPECT_FALSE(std::filesystem::exists(sarvo::StartMenuFolderPath()));
    EXPECT_FALSE(sarvo::KeyExists(Hive::CurrentUser, sarvo::kProductKey));
    EXPECT_FALSE(sarvo::KeyExists(Hive::LocalMachine, sarvo::kFirstRunKey));
    EXPECT_FALSE(sarvo::HasInitFlag());
    EXPECT_TRUE(std::filesystem::exists(stranger));
}

// The whole last step in a child process standing for the program: it must end with 123 and leave a
// script that removes its install once it has ended.
TEST(UninstallLastStep, UserLocalInstallEndsWith123AndIsRemovedAfterwards) {
    sarvo::test::ScopedSarvoHome home;
    std::string program = home.WriteFile("prefix/bin/sarvo", "program");
    std::string cli = home.WriteFile("prefix/bin/sarvo-cli", "cli");
    std::string stranger = home.WriteFile("prefix/bin/notes.txt", "keep");

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RemoveProgramAndExit(nullptr, program);
        ::_exit(1);  // only reached when the step refused
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kUninstallExitCode);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::filesystem::exists(program + "-uninstall.sh") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(std::filesystem::exists(program));
    EXPECT_FALSE(std::filesystem::exists(cli));
    EXPECT_TRUE(std::filesystem::exists(stranger));
}

}  // namespace
