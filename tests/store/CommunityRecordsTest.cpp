#include "store/CommunityRecords.h"

#include <gtest/gtest.h>

#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "store/StoreTest.h"

namespace sarvo {
namespace {

using CommunityRecordsTest = test::StoreTest;

TEST_F(CommunityRecordsTest, WrongEntriesAreDeletedWhileEnumeratingAndTheRestStillCome) {
    std::vector<uint8_t> good(kCommunityClientRecordSize, 'g');
    std::vector<uint8_t> shortRecord(100, 's');
    ASSERT_TRUE(
        WriteBlob(Hive::CurrentUser, kWebCommClientsKey, "bad-size", shortRecord.data(), shortRecord.size()));
    ASSERT_TRUE(WriteCommunityRecord(CommunityList::Clients, "first", good));
    ASSERT_TRUE(
        WriteBlob(Hive::CurrentUser, kWebCommClientsKey, std::string(65, 'n'), good.data(), good.size()));
    ASSERT_TRUE(WriteCommunityRecord(CommunityList::Clients, std::string(64, 'k'), good));

    std::vector<std::string> ids;
    for (const CommunityRecordEntry& record : ListCommunityRecords(CommunityList::Clients)) {
        EXPECT_EQ(record.data.size(), kCommunityClientRecordSize);
        ids.push_back(record.id);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"first", std::string(64, 'k')}));
    EXPECT_EQ(ListValues(Hive::CurrentUser, kWebCommClientsKey).size(), 2u) << "the wrong entries are gone";
}

TEST_F(CommunityRecordsTest, RecordsOfTheOtherSizeAreRefused) {
    std::vector<uint8_t> login(kCommunityLoginRecordSize, 1);
    EXPECT_FALSE(WriteCommunityRecord(CommunityList::Clients, "x", login));
    EXPECT_TRUE(WriteCommunityRecord(CommunityList::Logins, "x", login));
    std::vector<uint8_t> read;
    EXPECT_TRUE(ReadCommunityRecord(CommunityList::Logins, "X", read));
    EXPECT_EQ(read, login);
    EXPECT_FALSE(ReadCommunityRecord(CommunityList::Clients, "x", read));
    EXPECT_TRUE(RemoveCommunityRecord(CommunityList::Logins, "x"));
    EXPECT_FALSE(ReadCommunityRecord(CommunityList::Logins, "x", read));
}

TEST_F(CommunityRecordsTest, AnUpdateEditsTheStoredBytesAndNeverRecreatesARemovedRecord) {
    std::vector<uint8_t> stored(kCommunityClientRecordSize, 'a');
    ASSERT_TRUE(WriteCommunityRecord(CommunityList::Clients, "member", stored));
    stored[0] = 'o';  // the owner's edit, made after a login read its copy
    ASSERT_TRUE(WriteCommunityRecord(CommunityList::Clients, "member", stored));

    EXPECT_TRUE(UpdateCommunityRecord(CommunityList::Clients, "MEMBER",
                                      [](std::vector<uint8_t>& data) { data[1] = 'l'; }));
    std::vector<uint8_t> read;
    ASSERT_TRUE(ReadCommunityRecord(CommunityList::Clients, "member", read));
    EXPECT_EQ(read[0], 'o') << "the owner's edit survives";
    EXPECT_EQ(read[1], 'l');
    EXPECT_FALSE(UpdateCommunityRecord(CommunityList::Clients, "member", [](std::vector<uint8_t>& data) {
        data.resize(3);
    })) << "a change that breaks the size is not written";
    ASSERT_TRUE(ReadCommunityRecord(CommunityList::Clients, "member", read));

    ASSERT_TRUE(RemoveCommunityRecord(CommunityList::Clients, "member"));
    EXPECT_FALSE(UpdateCommunityRecord(CommunityList::Clients, "member", [](std::vector<uint8_t>&) {}));
    EXPECT_FALSE(ReadCommunityRecord(CommunityList::Clients, "member", read));
}

}  // namespace
}  // namespace sarvo
