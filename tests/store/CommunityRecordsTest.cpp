#include "store/CommunityRecords.h"

#include <gtest/gtest.h>

#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

class CommunityRecordsTest : public ::testing::Test {
protected:
    ~CommunityRecordsTest() override { CloseSettingsStore(); }
    test::ScopedSarvoHome m_home;
};

TEST_F(CommunityRecordsTest, WrongEntriesAreDeletedWhileEnumeratingAndTheRestStillCome) {
    std::vector<uint8_t> good(kCommunityClientRecordSize, 'g');
    std::vector<uint8_t> shortRecord(100, 's');
    ASSERT_TRUE(WriteBlob(Hive::CurrentUser, kWebCommClientsKey, "bad-size", shortRecord.data(), shortRecord.size()));
    ASSERT_TRUE(WriteCommunityRecord(CommunityList::Clients, "first", good));
    ASSERT_TRUE(WriteBlob(Hive::CurrentUser, kWebCommClientsKey, std::string(65, 'n'), good.data(), good.size()));
    ASSERT_TRUE(WriteCommunityRecord(CommunityList::Clients, std::string(64, 'k'), good));

    std::vector<std::string> ids;
    std::string id;
    std::vector<uint8_t> data;
    for (int index = 0; EnumCommunityRecord(CommunityList::Clients, index, id, data) && index < 10; ++index) {
        EXPECT_EQ(data.size(), kCommunityClientRecordSize);
        ids.push_back(id);
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

}  // namespace
}  // namespace sarvo
