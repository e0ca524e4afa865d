#include "ui/UninstallPlan.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TempFolder.h"

extern char** environ;

namespace sarvo {
namespace {

namespace fs = std::filesystem;

TEST(UninstallPlan, TheInstallKindFollowsOwnershipAndPackage) {
    struct Case {
        const char* description;
        InstallFacts facts;
        InstallKind expected;
    };
    const Case cases[] = {
        {"own folder", {"/home/ann/.local/bin/sarvo", true, ""}, InstallKind::UserLocal},
        {"package", {"/usr/bin/sarvo", false, "sarvo"}, InstallKind::Packaged},
        {"package wins over ownership", {"/usr/bin/sarvo", true, "sarvo"}, InstallKind::Packaged},
        {"someone else's folder", {"/usr/local/bin/sarvo", false, ""}, InstallKind::Foreign},
        {"unknown own path", {"", true, ""}, InstallKind::Foreign},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.description);
        EXPECT_EQ(ClassifyInstall(test.facts), test.expected);
    }
}

TEST(UninstallPlan, OwningPackageComesFromTheFileLists) {
    test::TempFolder info;
    info.WriteFile("coreutils.list", "/.\n/usr/bin\n/usr/bin/ls\n");
    info.WriteFile("sarvo:amd64.list", "/usr/bin\n/usr/bin/sarvo\n");
    info.WriteFile("other.md5sums", "0123  /usr/bin/sarvo-cli\n/usr/bin/sarvo-cli\n");
    EXPECT_EQ(FindOwningPackage("/usr/bin/sarvo", info.Path()), "sarvo");
    EXPECT_EQ(FindOwningPackage("/usr/bin/ls", info.Path()), "coreutils");
    EXPECT_EQ(FindOwningPackage("/usr/bin/sarvo-cli", info.Path()), "");
    EXPECT_EQ(FindOwningPackage("/usr/bin/sar", info.Path()), "") << "whole lines only";
    EXPECT_EQ(FindOwningPackage("/usr/bin/sarvo", info.Child("missing")), "");
}

TEST(UninstallPlan, ThisMachinesPackagedProgramIsRecognised) {
    if (!fs::exists("/var/lib/dpkg/info/dpkg.list"))
        GTEST_SKIP() << "not a Debian system";
    InstallFacts facts = ExamineInstall("/usr/bin/dpkg");
    EXPECT_EQ(facts.packageName, "dpkg");
    EXPECT_EQ(ClassifyInstall(facts), InstallKind::Packaged);
}

TEST(UninstallPlan, InstalledFilesFollowThePrefixLayout) {
    std::vector<std::string> files = InstalledFiles("/home/ann/.local/bin/sarvo");
    const std::vector<std::string> expectedStart = {
        "/home/ann/.local/bin/sarvo",
        "/home/ann/.local/bin/sarvo-cli",
        "/home/ann/.local/bin/pictorn",
        "/home/ann/.local/share/applications/keldanworks/sarvo.desktop",
        "/home/ann/.local/share/icons/hicolor/scalable/apps/sarvo.svg",
        "/home/ann/.local/share/icons/hicolor/16x16/apps/sarvo.png",
    };
    ASSERT_EQ(files.size(), 5 + kInstalledIconSizes.size());
    EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), files.begin()));
    EXPECT_EQ(files.back(), "/home/ann/.local/share/icons/hicolor/256x256/apps/sarvo.png");
    EXPECT_EQ(InstalledFolders("/home/ann/.local/bin/sarvo"),
              std::vector<std::string>{"/home/ann/.local/share/applications/keldanworks"});

    // Outside a bin folder (a build tree) only the programs beside it belong to the install.
    EXPECT_EQ(InstalledFiles("/src/build/app/sarvo"),
              (std::vector<std::string>{"/src/build/app/sarvo", "/src/build/app/sarvo-cli",
                                        "/src/build/app/pictorn"}));
    EXPECT_TRUE(InstalledFolders("/src/build/app/sarvo").empty());
}

// A process that stands in for the program the script waits for.
class StandIn {
public:
    StandIn() {
        const char* argv[] = {"sleep", "60", nullptr};
        if (posix_spawnp(&m_pid, "sleep", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
            m_pid = -1;
    }
    ~StandIn() { End(); }
    pid_t Pid() const { return m_pid; }
    void End() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

bool WaitUntilGone(const std::string& path, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

TEST(UninstallScript, RemovesTheInstallAfterTheProgramEndedAndNothingElse) {
    test::TempFolder root;
    // A prefix with a blank and a quote, so that the script's quoting is tried too.
    std::string prefix = "pre fix's";
    std::string program = root.WriteFile(prefix + "/bin/sarvo", "program");
    std::vector<std::string> installed = InstalledFiles(program);
    for (const std::string& file : installed)
        root.WriteFile(fs::relative(file, root.Path()).string(), "installed");
    const std::vector<std::string> strangers = {
        root.WriteFile(prefix + "/bin/stranger", "keep"),
        root.WriteFile(prefix + "/share/applications/other.desktop", "keep"),
        root.WriteFile(prefix + "/share/icons/hicolor/48x48/apps/other.png", "keep"),
    };
    ASSERT_EQ(ClassifyInstall(ExamineInstall(program)), InstallKind::UserLocal);

    StandIn running;
    ASSERT_GT(running.Pid(), 0);
    std::string scriptPath = UninstallScriptPath(program);
    ASSERT_TRUE(StartUninstallScript(
        scriptPath, ComposeUninstallScript(running.Pid(), installed, InstalledFolders(program), scriptPath)));

    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(fs::exists(program)) << "the script must wait for the program to end";

    running.End();
    ASSERT_TRUE(WaitUntilGone(scriptPath, std::chrono::seconds(20))) << "the script did not finish";
    for (const std::string& file : installed)
        EXPECT_FALSE(fs::exists(file)) << file;
    EXPECT_FALSE(fs::exists(root.Child(prefix + "/share/applications/keldanworks")));
    for (const std::string& file : strangers)
        EXPECT_TRUE(fs::exists(file)) << file;
    EXPECT_TRUE(fs::is_directory(root.Child(prefix + "/bin")));
}

TEST(UninstallScript, MenuFolderWithOtherEntriesStays) {
    test::TempFolder root;
    std::string program = root.WriteFile("bin/sarvo", "program");
    std::string menuEntry = root.WriteFile("share/applications/keldanworks/sarvo.desktop", "installed");
    std::string neighbour = root.WriteFile("share/applications/keldanworks/other.desktop", "keep");
    std::string scriptPath = UninstallScriptPath(program);
    // The process to wait for is this test's child that has already ended and been reaped.
    StandIn ended;
    pid_t gone = ended.Pid();
    ended.End();
    ASSERT_TRUE(StartUninstallScript(
        scriptPath,
        ComposeUninstallScript(gone, InstalledFiles(program), InstalledFolders(program), scriptPath)));
    ASSERT_TRUE(WaitUntilGone(scriptPath, std::chrono::seconds(20)));
    EXPECT_FALSE(fs::exists(program));
    EXPECT_FALSE(fs::exists(menuEntry));
    EXPECT_TRUE(fs::exists(neighbour));
}

}  // namespace
}  // namespace sarvo
