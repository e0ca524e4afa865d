#include "platform/DesktopEntries.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/SpecialFolders.h"
#include "support/DesktopEntryCheck.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

Shortcut TestShortcut() {
    return Shortcut{kShortcutName, "/opt/sarvo/bin/sarvo", kShortcutDescription};
}

TEST(UserDirs, FindsTheFolderAsTheShellWouldReadTheFile) {
    struct Case {
        const char* description;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"home relative", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", "/home/ann/Desktop"},
        {"absolute", "XDG_DESKTOP_DIR=\"/data/Bureau\"\n", "/data/Bureau"},
        {"home itself", "XDG_DESKTOP_DIR=\"$HOME\"\n", "/home/ann"},
        {"last assignment wins", "XDG_DESKTOP_DIR=\"$HOME/A\"\nXDG_DESKTOP_DIR=\"$HOME/B\"\n", "/home/ann/B"},
        {"comment ignored", "# XDG_DESKTOP_DIR=\"$HOME/Old\"\nXDG_DESKTOP_DIR=\"$HOME/New\"\n",
         "/home/ann/New"},
        {"other keys ignored", "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n", ""},
        {"escaped quote", "XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\"\"\n", "/home/ann/My \"Desk\""},
        {"CRLF line", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\r\n", "/home/ann/Desktop"},
        {"relative refused", "XDG_DESKTOP_DIR=\"Desktop\"\n", ""},
        {"other variable not expanded", "XDG_DESKTOP_DIR=\"$HOMEDIR/x\"\n", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.description);
        EXPECT_EQ(FindUserDir(test.text, "DESKTOP", "/home/ann"), test.expected);
    }
}

TEST(UserDirs, DesktopFolderComesFromUserDirsFile) {
    test::TempFolder home;
    home.WriteFile("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    ::unsetenv("SARVO_HOME");
    ::setenv("HOME", home.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.Child("config").c_str(), 1);
    ::setenv("XDG_DESKTOP_DIR", "/elsewhere", 1);
    EXPECT_EQ(GetDesktopPath(), home.Child("Schreibtisch"));

    std::filesystem::remove(home.Child("config/user-dirs.dirs"));
    EXPECT_EQ(GetDesktopPath(), "/elsewhere");
    ::unsetenv("XDG_DESKTOP_DIR");
    EXPECT_EQ(GetDesktopPath(), home.Child("Desktop"));
}

TEST(DesktopEntry, ExecArgumentsAreQuotedWhereTheRulesAskForIt) {
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"/usr/bin/sarvo", "/usr/bin/sarvo"},
        {"/home/ann/My Apps/sarvo", "\"/home/ann/My Apps/sarvo\""},
        {"/opt/$x/sarvo", "\"/opt/\\\\$x/sarvo\""},
        {"/opt/a\\b/sarvo", "\"/opt/a\\\\\\\\b/sarvo\""},
        {"/opt/100%/sarvo", "/opt/100%%/sarvo"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.path);
        EXPECT_EQ(QuoteExecArgument(test.path), test.expected);
    }
}

TEST(DesktopEntry, IconIsTheInstalledOneBesideTheProgram) {
    test::TempFolder prefix;
    std::string program = prefix.WriteFile("bin/sarvo", "");
    EXPECT_EQ(DesktopEntryIcon(program), "sarvo");
    std::string icon = prefix.WriteFile("share/icons/hicolor/scalable/apps/sarvo.svg", "<svg/>");
    EXPECT_EQ(DesktopEntryIcon(program), icon);
    EXPECT_EQ(DesktopEntryIcon(prefix.WriteFile("build/sarvo", "")), "sarvo");
}

TEST(DesktopEntry, BothEntriesAreWrittenValidAndWhereTheyBelong) {
    test::ScopedSarvoHome home;
    Shortcut shortcut = TestShortcut();
    ASSERT_TRUE(CreateDesktopShortcut(shortcut));
    ASSERT_TRUE(CreateStartMenuShortcut(shortcut));
    EXPECT_EQ(DesktopShortcutPath(shortcut), home.Child("Desktop/sarvo.desktop"));
    EXPECT_EQ(StartMenuShortcutPath(shortcut), home.Child("applications/keldanworks/sarvo.desktop"));
    EXPECT_TRUE(DesktopShortcutExists(shortcut));

    for (const std::string& path : {DesktopShortcutPath(shortcut), StartMenuShortcutPath(shortcut)}) {
        SCOPED_TRACE(path);
        test::DesktopEntryVerdict verdict = test::ValidateDesktopEntry(path);
        EXPECT_EQ(verdict.status, 0) << verdict.output;
    }
    struct stat info {};
    ASSERT_EQ(::stat(DesktopShortcutPath(shortcut).c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR) << "a desktop launcher must be executable";
}

TEST(DesktopEntry, EmptyNameDoesNothing) {
    test::ScopedSarvoHome home;
    Shortcut unnamed{"", "/usr/bin/sarvo", "x"};
    EXPECT_FALSE(CreateDesktopShortcut(unnamed));
    EXPECT_FALSE(CreateStartMenuShortcut(unnamed));
    EXPECT_FALSE(DeleteDesktopShortcut(unnamed));
    EXPECT_FALSE(std::filesystem::exists(home.Child("Desktop/.desktop")));
}

TEST(DesktopEntry, EachDeletionLeavesWhatIsNotItsOwn) {
    test::ScopedSarvoHome home;
    Shortcut shortcut = TestShortcut();
    ASSERT_TRUE(CreateDesktopShortcut(shortcut));
    ASSERT_TRUE(CreateStartMenuShortcut(shortcut));
    EXPECT_TRUE(DeleteDesktopShortcut(shortcut));
    EXPECT_FALSE(DesktopShortcutExists(shortcut));
    EXPECT_TRUE(std::filesystem::exists(StartMenuShortcutPath(shortcut)));
    EXPECT_TRUE(DeleteDesktopShortcut(shortcut)) << "deleting an entry that is already gone succeeds";

    // The menu folder goes only when it is empty.
    std::string other = home.WriteFile("applications/keldanworks/pictorn.desktop", "[Desktop Entry]\n");
    EXPECT_TRUE(DeleteStartMenuShortcut(shortcut));
    EXPECT_FALSE(std::filesystem::exists(StartMenuShortcutPath(shortcut)));
    EXPECT_TRUE(std::filesystem::exists(other));

    std::filesystem::remove(other);
    ASSERT_TRUE(CreateStartMenuShortcut(shortcut));
    EXPECT_TRUE(DeleteStartMenuShortcut(shortcut));
    EXPECT_FALSE(std::filesystem::exists(StartMenuFolderPath()));
    EXPECT_TRUE(std::filesystem::exists(home.Child("applications")));
}

}  // namespace
}  // namespace sarvo
