#include "app/Cli.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/CliArguments.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "store/Users.h"
#include "support/TempFolder.h"

namespace sarvo::cli {
namespace {

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    CliResult Run(std::vector<std::string> arguments) {
        std::ostringstream out;
        std::ostringstream err;
        int status = RunCli(arguments, {out, err});
        return {status, out.str(), err.str()};
    }

    int CountFolders() {
        std::string name;
        int count = 0;
        while (EnumFolderName(count, name))
            ++count;
        return count;
    }

    test::ScopedSarvoHome m_home;
    test::TempFolder m_files;
};

TEST_F(CliTest, ShareAddStoresTheFolderWithItsFlags) {
    std::string music = m_files.Child("Music");
    m_files.WriteFile("Music/a.mp3", "x");
    CliResult result =
        Run({"share", "add", "Music", music, "--subfolders", "--zip", "--desc", "  My songs "});
    ASSERT_EQ(result.status, kExitOk) << result.err;

    SharedFolder folder;
    ASSERT_TRUE(ReadSharedFolder("music", folder));
    EXPECT_EQ(folder.location, music);
    EXPECT_EQ(folder.description, "My songs");
    EXPECT_TRUE(folder.visible);
    EXPECT_TRUE(folder.canBrowseSubfolders);
    EXPECT_FALSE(folder.canPostFiles);
    EXPECT_TRUE(folder.zipDownload);

    CliResult list = Run({"share", "list"});
    EXPECT_EQ(list.out,
              "Music\t" + music + "\tlisting=yes subfolders=yes post=no zip=yes followlinks=no\tMy songs\n");

    ASSERT_EQ(Run({"share", "set", "Music", "--follow-links"}).status, kExitOk);
    EXPECT_TRUE(FollowsLinks("Music"));
    EXPECT_NE(Run({"share", "list"}).out.find("followlinks=yes"), std::string::npos);
    ASSERT_EQ(Run({"share", "set", "Music", "--no-follow-links"}).status, kExitOk);
    EXPECT_FALSE(FollowsLinks("Music"));
}

TEST_F(CliTest, ShareAddRefusesBadNamesAndPathsAndChangesNothing) {
    std::string folder = m_files.Path();
    const std::vector<std::vector<std::string>> refused = {
        {"share", "add", "guestbook", folder},
        {"share", "add", "WEBCHAT", folder},
        {"share", "add", "a#b", folder},
        {"share", "add", "a&b", folder},
        {"share", "add", "..", folder},
        {"share", "add", std::string(49, 'n'), folder},
        {"share", "add", "   ", folder},
        {"share", "add", "Missing", m_files.Child("does-not-exist")},
        {"share", "add", "File", m_files.WriteFile("plain.txt", "x")},
        {"share", "add", "Long", folder, "--desc", std::string(81, 'd')},
        {"share", "add", "Music"},
        {"share", "add", "Music", folder, "--bogus"},
    };
    for (const auto& arguments : refused) {
        SCOPED_TRACE(arguments[2]);
        CliResult result = Run(arguments);
        EXPECT_EQ(result.status, kExitRefused);
        EXPECT_NE(result.err.find("sarvo-cli: "), std::string::npos);
    }
    EXPECT_EQ(CountFolders(), 0);

    ASSERT_EQ(Run({"share", "add", "My Music", folder}).status, kExitOk);
    EXPECT_EQ(Run({"share", "add", "my music", folder}).status, kExitRefused);
    EXPECT_EQ(CountFolders(), 1);
}

TEST_F(CliTest, ShareSetChangesFlagsAndRenamesWithoutLeavingTheOldKey) {
    ASSERT_EQ(Run({"share", "add", "Photos", m_files.Path(), "--post"}).status, kExitOk);
    ASSERT_EQ(Run({"share", "set", "Photos", "--no-post", "--no-listing", "--rename", "Pictures"}).status,
              kExitOk);
    EXPECT_FALSE(FolderExists("Photos"));
    SharedFolder folder;
    ASSERT_TRUE(ReadSharedFolder("Pictures", folder));
    EXPECT_FALSE(folder.canPostFiles);
    EXPECT_FALSE(folder.visible);
    EXPECT_EQ(folder.location, m_files.Path());

    EXPECT_EQ(Run({"share", "set", "Nothing", "--zip"}).status, kExitRefused);
    EXPECT_EQ(Run({"share", "set", "Pictures", "--rename", "Webchat"}).status, kExitRefused);
    EXPECT_TRUE(FolderExists("Pictures"));

    ASSERT_EQ(Run({"share", "remove", "pictures"}).status, kExitOk);
    EXPECT_EQ(CountFolders(), 0);
    EXPECT_EQ(Run({"share", "remove", "pictures"}).status, kExitRefused);
}

TEST_F(CliTest, PublishNamesASecondFileOfTheSameNameWithACounter) {
    std::string first = m_files.WriteFile("logs/a.txt", "1");
    std::string second = m_files.WriteFile("other/a.txt", "2");
    CliResult one = Run({"publish", first});
    CliResult two = Run({"publish", second});
    ASSERT_EQ(one.status, kExitOk) << one.err;
    ASSERT_EQ(two.status, kExitOk) << two.err;
    EXPECT_EQ(one.out, "Published " + first + " as /a.txt\n");
    EXPECT_EQ(two.out, "Published " + second + " as /a[1].txt\n");
    ASSERT_TRUE(GetPublishedFile("a[1].txt"));
    EXPECT_EQ(GetPublishedFile("a[1].txt")->path, second);

    EXPECT_EQ(Run({"publish", m_files.Path()}).status, kExitRefused);
    EXPECT_EQ(Run({"publish", m_files.Child("missing.txt")}).status, kExitRefused);
}

TEST_F(CliTest, PublishSetMarksRealTimeAndNewestPattern) {
    std::string log = m_files.WriteFile("day1.log", "");
    ASSERT_EQ(Run({"publish", log}).status, kExitOk);
    ASSERT_EQ(Run({"publish", "set", "day1.log", "--realtime", "--newest", "day*.log"}).status, kExitOk);
    auto record = GetPublishedFile("day1.log");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->realTime, 1u);
    EXPECT_EQ(record->useNewest, 1u);
    EXPECT_EQ(record->searchPattern, "day*.log");
    EXPECT_TRUE(IsRealTimeFile("day1.log"));

    ASSERT_EQ(Run({"publish", "set", "day1.log", "--no-realtime", "--no-newest"}).status, kExitOk);
    EXPECT_FALSE(IsRealTimeFile("day1.log"));
    EXPECT_EQ(Run({"publish", "set", "day1.log", "--newest", "../x/*.log"}).status, kExitRefused);
    EXPECT_EQ(Run({"publish", "set", "nothing", "--realtime"}).status, kExitRefused);

    CliResult list = Run({"publish", "list"});
    EXPECT_EQ(list.out, "day1.log\t" + log + "\trealtime=no\n");
    ASSERT_EQ(Run({"publish", "remove", "day1.log"}).status, kExitOk);
    EXPECT_FALSE(GetPublishedFile("day1.log"));
}

TEST_F(CliTest, GetShowsDefaultsAndSetChecksEachValueByItsType) {
    EXPECT_EQ(Run({"get", "listen_port"}).out, "80\n");
    EXPECT_EQ(Run({"get", "mainpagetitle"}).out, "Welcome to My Website!\n");
    EXPECT_EQ(Run({"get", "Use AutoBlockList"}).out, "1\n");

    EXPECT_EQ(Run({"set", "listen_port", "8080"}).status, kExitOk);
    EXPECT_EQ(GetListenPort(), 8080);
    for (const char* bad : {"0", "65536", "80a", "-1", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(Run({"set", "listen_port", bad}).status, kExitRefused);
    }
    EXPECT_EQ(GetListenPort(), 8080);

    EXPECT_EQ(Run({"set", "enablelog", "on"}).status, kExitOk);
    EXPECT_TRUE(IsLogEnabled());
    EXPECT_EQ(Run({"set", "enablelog", "maybe"}).status, kExitRefused);
    EXPECT_TRUE(IsLogEnabled());

    EXPECT_EQ(Run({"set", "IPFilterType", "3"}).status, kExitRefused);
    EXPECT_EQ(Run({"set", "listen_ip", "192.168.1.5"}).out, "listen_ip = 192.168.1.5\n");
    EXPECT_EQ(Run({"set", "IPFilterList", "192.168.255.255, 10.0.0.1"}).status, kExitOk);
    EXPECT_EQ(ReadIpFilterList(), (std::vector<uint8_t>{192, 168, 255, 255, 10, 0, 0, 1}));
    EXPECT_EQ(Run({"set", "IPFilterList", "10.0.0.300"}).status, kExitRefused);
    EXPECT_EQ(Run({"set", "IPFilterList", ""}).status, kExitOk);
    EXPECT_TRUE(ReadIpFilterList().empty());

    EXPECT_EQ(Run({"set", "mainpagetitle", "  Hello  "}).out, "mainpagetitle = Hello\n");
    EXPECT_EQ(Run({"set", "mainpagetitle", std::string(80, 't')}).status, kExitRefused);
    EXPECT_EQ(GetMainPageTitle(), "Hello");
}

TEST_F(CliTest, UnknownSettingListsTheKnownOnes) {
    CliResult result = Run({"get", "colour"});
    EXPECT_EQ(result.status, kExitRefused);
    EXPECT_NE(result.err.find("unknown setting \"colour\""), std::string::npos);
    for (const SettingInfo& info : SettingsTable())
        EXPECT_NE(result.err.find(std::string("  ") + info.name + " ("), std::string::npos) << info.name;
    EXPECT_EQ(Run({"set", "colour", "blue"}).status, kExitRefused);
}

TEST_F(CliTest, UsersAreAddedListedAndRemoved) {
    ASSERT_EQ(Run({"user", "add", "alice", "Secret"}).status, kExitOk);
    ASSERT_EQ(Run({"user", "add", "bob", ""}).status, kExitOk);
    EXPECT_TRUE(CheckUserPassword("alice", "Secret"));
    EXPECT_EQ(Run({"user", "list"}).out, "alice\nbob\n");
    EXPECT_EQ(Run({"user", "add", "", "x"}).status, kExitRefused);
    EXPECT_EQ(Run({"user", "remove", "carol"}).status, kExitRefused);
    ASSERT_EQ(Run({"user", "remove", "Alice"}).status, kExitOk);
    EXPECT_EQ(Run({"user", "list"}).out, "bob\n");
}

TEST_F(CliTest, RegistryFileRoundTripAndRefusedImport) {
    ASSERT_EQ(Run({"share", "add", "Music", m_files.Path(), "--zip"}).status, kExitOk);
    ASSERT_EQ(Run({"set", "listen_port", "8081"}).status, kExitOk);
    std::string exported = m_files.Child("sarvo.reg");
    ASSERT_EQ(Run({"export-reg", exported}).status, kExitOk);
    // "-" writes the same bytes to standard output.
    CliResult toOutput = Run({"export-reg", "-"});
    ASSERT_EQ(toOutput.status, kExitOk);
    std::ifstream file(exported, std::ios::binary);
    EXPECT_EQ(toOutput.out, std::string(std::istreambuf_iterator<char>(file), {}));

    ASSERT_EQ(Run({"share", "remove", "Music"}).status, kExitOk);
    ASSERT_EQ(Run({"set", "listen_port", "9000"}).status, kExitOk);
    ASSERT_EQ(Run({"import-reg", exported}).status, kExitOk);
    EXPECT_TRUE(IsZipDownloadAllowed("Music"));
    EXPECT_EQ(GetListenPort(), 8081);

    std::string bad = m_files.WriteFile("bad.reg",
                                        "Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo\\Settings]\r\n"
                                        "\"listen_port\"=dword:00000050\r\n"
                                        "\"enablelog\"=dword:nonsense\r\n");
    CliResult result = Run({"import-reg", bad});
    EXPECT_EQ(result.status, kExitRefused);
    EXPECT_NE(result.err.find("line 5"), std::string::npos) << result.err;
    EXPECT_EQ(GetListenPort(), 8081);
}

TEST_F(CliTest, TheProgramExitsWithTheCommandsStatus) {
    std::string command = std::string(SARVO_CLI_PATH) + " share add Guestbook / >/dev/null 2>&1";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitRefused);

    command = std::string(SARVO_CLI_PATH) + " share --help >/dev/null 2>&1";
    status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitOk);
}

}  // namespace
}  // namespace sarvo::cli
