#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/SpecialFolders.h"
#include "store/Registry.h"
#include "store/StoreTest.h"

// Cases that need a second process re-run this binary with SARVO_STORE_CHILD set; the child does its
// part before the test runner starts and exits.
namespace sarvo {
namespace {

constexpr char kChildVariable[] = "SARVO_STORE_CHILD";
constexpr char kKey[] = "Software\\KELDANWORKS\\Sarvo\\Settings";
constexpr size_t kBigTextLength = 4000;
constexpr int kChurnLimit = 1000000;

int RunChild(const std::string& mode) {
    if (mode == "write")
        return WriteNumber(Hive::CurrentUser, kKey, "shared", 2) ? 0 : 1;
    if (mode == "churn") {
        // Writes until killed; each round flips a long text between two fillings.
        for (int round = 0; round < kChurnLimit; ++round) {
            std::string text(kBigTextLength, round % 2 ? 'B' : 'A');
            WriteText(Hive::CurrentUser, kKey, "big", text);
            WriteNumber(Hive::CurrentUser, kKey, "round", static_cast<uint32_t>(round));
        }
        return 0;
    }
    return 3;
}

const bool kChildDone = [] {
    const char* mode = std::getenv(kChildVariable);
    if (mode)
        std::_Exit(RunChild(mode));
    return false;
}();

pid_t StartChild(const char* mode) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv(kChildVariable, mode, 1);
        ::execl("/proc/self/exe", "store_tests", static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    return pid;
}

int WaitForChild(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

using StoreProcessTest = test::StoreTest;

TEST_F(StoreProcessTest, AValueWrittenByAnotherProcessIsSeenByTheNextRead) {
    ASSERT_FALSE(kChildDone);
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "shared", 1));
    uint32_t value = 0;
    ASSERT_TRUE(ReadNumber(Hive::CurrentUser, kKey, "shared", value));
    ASSERT_EQ(value, 1u);

    int status = WaitForChild(StartChild("write"));
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(ReadNumber(Hive::CurrentUser, kKey, "shared", value));
    EXPECT_EQ(value, 2u) << "the pooled connection must not serve an old snapshot";
}

TEST_F(StoreProcessTest, AWriterKilledMidWayLeavesAWholeReadableStore) {
    pid_t child = StartChild("churn");
    ASSERT_GT(child, 0);
    uint32_t round = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadNumber(Hive::CurrentUser, kKey, "round", round) && round >= 30)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(child, SIGKILL);
    int status = WaitForChild(child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended before it was killed";
    ASSERT_GE(round, 30u) << "the writer made too little progress to test anything";
    CloseSettingsStore();

    sqlite3* database = nullptr;
    std::string path = GetConfigFolderPath() + "/settings.db";
    ASSERT_EQ(sqlite3_open(path.c_str(), &database), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(database, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(database);

    std::string text;
    ASSERT_TRUE(ReadText(Hive::CurrentUser, kKey, "big", text, kBigTextLength + 1));
    ASSERT_EQ(text.size(), kBigTextLength);
    EXPECT_EQ(text.find_first_not_of(text[0]), std::string::npos)
        << "a text must be one writing, never a mix";
    ASSERT_TRUE(ReadNumber(Hive::CurrentUser, kKey, "round", round));
    EXPECT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "after", 1)) << "the store takes writes again";
}

}  // namespace
}  // namespace sarvo
