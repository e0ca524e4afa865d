#include "store/Registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include "store/StoreTest.h"

namespace sarvo {
namespace {

constexpr char kKey[] = "Software\\Test\\Key";

using RegistryTest = test::StoreTest;

// The store holds the users' passwords; earlier installs left it readable by every local user.
TEST_F(RegistryTest, StoreFilesAreTheOwnersAloneAndAreCorrectedOnStart) {
    auto modeOf = [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
    };
    const std::string database = m_home.Child("settings.db");
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start == 0 ? "new install" : "existing install");
        ASSERT_TRUE(WriteText(Hive::CurrentUser, kKey, "password", "secret"));
        EXPECT_EQ(modeOf(m_home.Path()), 0700);
        for (const char* suffix : {"", "-wal", "-shm"})
            EXPECT_EQ(modeOf(database + suffix), 0600) << suffix;
        CloseSettingsStore();
        ASSERT_EQ(::chmod(m_home.Path().c_str(), 0755), 0);
        ASSERT_EQ(::chmod(database.c_str(), 0644), 0);
    }
}

TEST_F(RegistryTest, ValuesRoundTripWithTheirTypes) {
    ASSERT_TRUE(WriteText(Hive::CurrentUser, kKey, "title", "Hello"));
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "port", 0x12345678));
    const uint8_t bytes[] = {0, 1, 2, 255};
    ASSERT_TRUE(WriteBlob(Hive::CurrentUser, kKey, "blob", bytes, sizeof bytes));
    ASSERT_TRUE(WriteBlob(Hive::CurrentUser, kKey, "empty", nullptr, 0));

    std::string text;
    EXPECT_TRUE(ReadText(Hive::CurrentUser, kKey, "title", text, 6));
    EXPECT_EQ(text, "Hello");
    uint32_t number = 0;
    EXPECT_TRUE(ReadNumber(Hive::CurrentUser, kKey, "port", number));
    EXPECT_EQ(number, 0x12345678u);
    std::vector<uint8_t> blob;
    EXPECT_TRUE(ReadBlob(Hive::CurrentUser, kKey, "blob", blob));
    EXPECT_EQ(blob, std::vector<uint8_t>(bytes, bytes + 4));
    EXPECT_TRUE(ReadBlob(Hive::CurrentUser, kKey, "empty", blob));
    EXPECT_TRUE(blob.empty());

    RegistryValue value;
    ASSERT_TRUE(ReadValue(Hive::CurrentUser, kKey, "title", value));
    EXPECT_EQ(value.type, ValueType::String);
    EXPECT_EQ(value.data.size(), 6u) << "a text is stored with its NUL";
    ASSERT_TRUE(ReadValue(Hive::CurrentUser, kKey, "port", value));
    EXPECT_EQ(value.type, ValueType::Dword);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_FALSE(ReadNumber(Hive::CurrentUser, kKey, "title", number)) << "six bytes do not fit a number";
}

TEST_F(RegistryTest, KeyPathsAndValueNamesIgnoreCase) {
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, "Software\\Mixed\\Case", "Listen_Port", 8080));
    uint32_t number = 0;
    EXPECT_TRUE(ReadNumber(Hive::CurrentUser, "SOFTWARE\\mixed\\CASE", "listen_port", number));
    EXPECT_EQ(number, 8080u);
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, "software\\MIXED"));
    EXPECT_FALSE(KeyExists(Hive::LocalMachine, "Software\\Mixed")) << "hives are separate";

    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, "software\\mixed\\case", "LISTEN_PORT", 81));
    EXPECT_EQ(ListValues(Hive::CurrentUser, "Software\\Mixed\\Case").size(), 1u);
    EXPECT_EQ(ListSubkeys(Hive::CurrentUser, "Software\\Mixed"), std::vector<std::string>{"Case"})
        << "the first spelling is kept";
}

TEST_F(RegistryTest, SubkeysEnumerateAlphabeticallyAndValuesInCreationOrder) {
    for (const char* name : {"delta", "Alpha", "charlie", "Bravo"})
        ASSERT_TRUE(CreateKey(Hive::CurrentUser, std::string(kKey) + "\\" + name));
    EXPECT_EQ(ListSubkeys(Hive::CurrentUser, kKey),
              (std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta"}));

    for (const char* name : {"zulu", "alpha", "mike"})
        ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, name, 1));
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "zulu", 2));
    std::vector<std::string> names;
    for (const RegistryValue& value : ListValues(Hive::CurrentUser, kKey))
        names.push_back(value.name);
    EXPECT_EQ(names, (std::vector<std::string>{"zulu", "alpha", "mike"})) << "overwriting keeps the place";

    ASSERT_TRUE(RemoveValue(Hive::CurrentUser, kKey, "zulu"));
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "zulu", 3));
    RegistryValue last;
    ASSERT_TRUE(EnumValue(Hive::CurrentUser, kKey, 2, last));
    EXPECT_EQ(last.name, "zulu") << "re-created values go to the end";
    EXPECT_FALSE(EnumValue(Hive::CurrentUser, kKey, 3, last));
    EXPECT_FALSE(EnumValue(Hive::CurrentUser, kKey, -1, last));
}

TEST_F(RegistryTest, DeleteKeyTreeRemovesEverythingBelowAndNothingBeside) {
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, "Software\\T\\Music\\Sub\\Deep", "a", 1));
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, "Software\\T\\Music", "b", 1));
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, "Software\\T\\Music2", "c", 1));
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, "Software\\T\\Mus_c", "d", 1));

    EXPECT_TRUE(DeleteKeyTree(Hive::CurrentUser, "software\\t\\music"));
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, "Software\\T\\Music"));
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, "Software\\T\\Music\\Sub\\Deep"));
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, "Software\\T\\Music2"));
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, "Software\\T\\Mus_c"));
    uint32_t number = 0;
    EXPECT_FALSE(ReadNumber(Hive::CurrentUser, "Software\\T\\Music\\Sub\\Deep", "a", number));
    EXPECT_TRUE(DeleteKeyTree(Hive::CurrentUser, "Software\\T\\Music")) << "an absent key is deleted already";
    EXPECT_FALSE(DeleteKeyTree(Hive::CurrentUser, ""));
    EXPECT_FALSE(RemoveValue(Hive::CurrentUser, "Software\\T\\Music2", "nothing"));
}

TEST_F(RegistryTest, ABatchIsAllOrNothing) {
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "kept", 1));
    RegistryOperation set{
        RegistryOperation::Kind::SetValue, Hive::CurrentUser, kKey, {"new", ValueType::Dword, {2, 0, 0, 0}}};
    RegistryOperation invalid{RegistryOperation::Kind::CreateKey, Hive::CurrentUser, "a\\\\b", {}};
    RegistryOperation removeKept{RegistryOperation::Kind::DeleteKeyTree, Hive::CurrentUser, kKey, {}};
    EXPECT_FALSE(ApplyRegistryBatch({removeKept, set, invalid}));
    uint32_t number = 0;
    EXPECT_TRUE(ReadNumber(Hive::CurrentUser, kKey, "kept", number));
    EXPECT_FALSE(ReadNumber(Hive::CurrentUser, kKey, "new", number));

    EXPECT_TRUE(ApplyRegistryBatch({removeKept, set}));
    EXPECT_FALSE(ReadNumber(Hive::CurrentUser, kKey, "kept", number));
    EXPECT_TRUE(ReadNumber(Hive::CurrentUser, kKey, "new", number));
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kWritesPerThread = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kWritesPerThread; ++i) {
                WriteNumber(Hive::CurrentUser, kKey, "thread" + std::to_string(t) + "-" + std::to_string(i),
                            i);
                uint32_t ignored = 0;
                ReadNumber(Hive::CurrentUser, kKey, "thread0-0", ignored);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(ListValues(Hive::CurrentUser, kKey).size(), static_cast<size_t>(kThreads * kWritesPerThread));
}

TEST_F(RegistryTest, SwitchingTheHomeFolderSwitchesTheStore) {
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "where", 1));
    {
        test::ScopedSarvoHome other;
        uint32_t number = 0;
        EXPECT_FALSE(ReadNumber(Hive::CurrentUser, kKey, "where", number));
        ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kKey, "where", 2));
    }
    uint32_t number = 0;
    EXPECT_TRUE(ReadNumber(Hive::CurrentUser, kKey, "where", number));
    EXPECT_EQ(number, 1u);
}

}  // namespace
}  // namespace sarvo
