#include "store/PublishedFiles.h"

#include <gtest/gtest.h>

#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "store/StoreTest.h"

namespace sarvo {
namespace {

using PublishedFilesTest = test::StoreTest;

TEST(PublishedFileRecord, SerializesToTheFixedLayout) {
    PublishedFileRecord record{"/logs/a.log", "*.log", 1, 0x01020304, 77};
    auto bytes = record.Serialize();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "/logs/a.log");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 260)), "*.log");
    EXPECT_EQ(bytes[520], 1);
    EXPECT_EQ(bytes[524], 4);
    EXPECT_EQ(bytes[527], 1);
    EXPECT_EQ(bytes[528], 0) << "reserved is written as 0";

    auto back = PublishedFileRecord::FromStoredBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(back.path, record.path);
    EXPECT_EQ(back.searchPattern, "*.log");
    EXPECT_EQ(back.realTime, 1u);
    EXPECT_EQ(back.useNewest, 0x01020304u);
}

TEST_F(PublishedFilesTest, AnOlderEntryHoldingOnlyThePathReadsWithEveryFlagOff) {
    const char path[] = "/data/old.txt";
    ASSERT_TRUE(WriteBlob(Hive::CurrentUser, kDynamicFilesKey, "old.txt", path, sizeof path));
    auto record = GetPublishedFile("old.txt");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->path, "/data/old.txt");
    EXPECT_EQ(record->realTime, 0u);
    EXPECT_EQ(record->useNewest, 0u);
    EXPECT_EQ(record->searchPattern, "");
    auto entry = EnumPublishedFile(0);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "old.txt");
    EXPECT_EQ(entry->record.path, "/data/old.txt");
    EXPECT_FALSE(EnumPublishedFile(1));
}

TEST_F(PublishedFilesTest, PublishingTakesTheFirstFreeName) {
    ASSERT_TRUE(PublishFile("/logs/a.txt"));
    ASSERT_TRUE(PublishFile("/other/a.txt"));
    auto third = PublishFile("C:\\logs\\a.txt");
    ASSERT_TRUE(third);
    EXPECT_EQ(third->name, "a[2].txt");
    EXPECT_EQ(GetPublishedFile("a[1].txt")->path, "/other/a.txt");

    EXPECT_EQ(PublishFile("/data/README")->name, "README");
    EXPECT_EQ(PublishFile("/data2/README")->name, "README[1]");
    EXPECT_EQ(PublishFile("/x/archive.tar.gz")->name, "archive.tar.gz");
    EXPECT_EQ(PublishFile("/y/archive.tar.gz")->name, "archive.tar[1].gz");
    EXPECT_FALSE(PublishFile("/dir/")) << "a path without a file name gives no name";
}

TEST_F(PublishedFilesTest, RealTimeMarkComesFromTheRecord) {
    EXPECT_FALSE(IsRealTimeFile("none.log"));
    auto entry = PublishFile("/var/log/app.log");
    ASSERT_TRUE(entry);
    EXPECT_FALSE(IsRealTimeFile("app.log"));
    entry->record.realTime = 1;
    ASSERT_TRUE(SetPublishedFile("app.log", entry->record));
    EXPECT_TRUE(IsRealTimeFile("APP.LOG"));
    ASSERT_TRUE(RemovePublishedFile("app.log"));
    EXPECT_FALSE(GetPublishedFile("app.log"));
    EXPECT_FALSE(RemovePublishedFile("app.log"));
}

}  // namespace
}  // namespace sarvo
