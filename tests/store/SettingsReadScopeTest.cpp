#include "store/SettingsReadScope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "store/Registry.h"
#include "store/StoreTest.h"

// Reads inside a scope come from a shared copy of the store; they must answer exactly as the database
// does, spelling and order included, and see the thread's own writes.
namespace sarvo {
namespace {

struct Answers {
    bool exists = false;
    bool read = false;
    RegistryValue value;
    std::vector<std::string> subkeys;
    std::vector<RegistryValue> values;

    bool operator==(const Answers& other) const {
        const auto same = [](const RegistryValue& a, const RegistryValue& b) {
            return a.name == b.name && a.type == b.type && a.data == b.data;
        };
        return exists == other.exists && read == other.read && same(value, other.value) &&
               subkeys == other.subkeys &&
               std::equal(values.begin(), values.end(), other.values.begin(), other.values.end(), same);
    }
};

Answers Ask(Hive hive, const std::string& key, const std::string& name) {
    Answers answers;
    answers.exists = KeyExists(hive, key);
    answers.read = ReadValue(hive, key, name, answers.value);
    answers.subkeys = ListSubkeys(hive, key);
    answers.values = ListValues(hive, key);
    return answers;
}

using SettingsReadScopeTest = test::StoreTest;

TEST_F(SettingsReadScopeTest, ScopedReadsAnswerAsTheDatabase) {
    ASSERT_TRUE(WriteText(Hive::CurrentUser, "Software\\Maker\\App\\Folders\\Zeta", "Location", "/z"));
    ASSERT_TRUE(WriteText(Hive::CurrentUser, "Software\\Maker\\App\\Folders\\alpha", "Location", "/a"));
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, "Software\\Maker\\App\\Folders\\alpha", "Visible", 1));
    ASSERT_TRUE(WriteText(Hive::CurrentUser, "Software\\Maker\\App\\Folders\\Mid", "b", "2"));
    ASSERT_TRUE(WriteText(Hive::CurrentUser, "Software\\Maker\\App\\Folders\\Mid", "A", "1"));
    ASSERT_TRUE(WriteNumber(Hive::LocalMachine, "Software\\Maker\\App", "Installed", 7));

    const struct {
        Hive hive;
        const char* key;
        const char* name;
    } kQuestions[] = {
        {Hive::CurrentUser, "Software\\Maker\\App\\Folders", ""},
        {Hive::CurrentUser, "SOFTWARE\\maker\\app\\FOLDERS\\ALPHA", "location"},
        {Hive::CurrentUser, "\\Software\\Maker\\App\\Folders\\alpha\\", "VISIBLE"},
        {Hive::CurrentUser, "Software\\Maker\\App\\Folders\\Mid", "a"},
        {Hive::CurrentUser, "Software\\Maker\\App\\Folders\\Missing", "Location"},
        {Hive::CurrentUser, "Software\\Maker\\App\\Folders\\alpha", "Missing"},
        {Hive::CurrentUser, "Software\\\\Maker", ""},
        {Hive::CurrentUser, "", ""},
        {Hive::LocalMachine, "software\\maker\\app", "installed"},
        {Hive::LocalMachine, "Software\\Maker\\App\\Folders\\alpha", "Location"},
    };
    for (const auto& question : kQuestions) {
        SCOPED_TRACE(std::string(question.key) + " / " + question.name);
        const Answers direct = Ask(question.hive, question.key, question.name);
        SettingsReadScope scope;
        EXPECT_TRUE(Ask(question.hive, question.key, question.name) == direct);
    }
}

TEST_F(SettingsReadScopeTest, TheThreadsOwnWritesAreSeenByItsNextRead) {
    constexpr char kKey[] = "Software\\Maker\\App\\Settings";
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "port", 80));
    SettingsReadScope scope;
    uint32_t port = 0;
    ASSERT_TRUE(ReadNumber(Hive::CurrentUser, kKey, "port", port));
    EXPECT_EQ(port, 80u);
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "port", 8080));
    ASSERT_TRUE(ReadNumber(Hive::CurrentUser, kKey, "port", port));
    EXPECT_EQ(port, 8080u);
    ASSERT_TRUE(RemoveValue(Hive::CurrentUser, kKey, "port"));
    EXPECT_FALSE(ReadNumber(Hive::CurrentUser, kKey, "port", port));
    ASSERT_TRUE(DeleteKeyTree(Hive::CurrentUser, kKey));
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, kKey));
}

}  // namespace
}  // namespace sarvo
