#include "store/SiteSettings.h"

#include <gtest/gtest.h>

#include "store/RegistryKeys.h"
#include "store/StoreTest.h"

namespace sarvo {
namespace {

using SiteSettingsTest = test::StoreTest;

TEST_F(SiteSettingsTest, TheTableHoldsEveryValueOnceWithItsType) {
    const auto& table = SettingsTable();
    EXPECT_EQ(table.size(), 24u);
    for (const SettingInfo& info : table) {
        SCOPED_TRACE(info.name);
        EXPECT_EQ(FindSetting(info.name), &info);
        EXPECT_EQ(info.type == ValueType::String, info.bufferSize > 0);
    }
    EXPECT_EQ(FindSetting("LISTEN_PORT"), FindSetting("listen_port"));
    EXPECT_EQ(FindSetting("nothing"), nullptr);
}

// The accessors take their defaults from the table, so only the defaults that are not "off", 0 or ""
// are checked, and what a missing home page file gives.
TEST_F(SiteSettingsTest, ValuesReadAsTheirDefaultsInAnEmptyStore) {
    EXPECT_EQ(GetMainPageTitle(), "Welcome to My Website!");
    EXPECT_EQ(GetListenPort(), 80);
    EXPECT_TRUE(LogSelf());
    EXPECT_TRUE(IsDynamicFolderVisible());
    EXPECT_TRUE(UseAutoBlockList());
    EXPECT_FALSE(UsePasswords());
    std::string file = "x";
    EXPECT_FALSE(GetHomePageFile(file));
    EXPECT_EQ(file, "");
    EXPECT_TRUE(ReadIpFilterList().empty());
}

TEST_F(SiteSettingsTest, TheListenPortIsClampedOnReading) {
    const std::pair<uint32_t, uint16_t> cases[] = {
        {0, 80}, {1, 1}, {8080, 8080}, {65535, 65535}, {70000, 65535}};
    for (auto [stored, expected] : cases) {
        SCOPED_TRACE(stored);
        ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kSettingsKey, "listen_port", stored));
        EXPECT_EQ(GetListenPort(), expected);
    }
}

TEST_F(SiteSettingsTest, IpFilterTypesAboveTwoReadAndWriteAsZero) {
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kSettingsKey, "IPFilterType", 5));
    EXPECT_EQ(ReadIpFilterType(), 0u);
    ASSERT_TRUE(WriteIpFilterType(7));
    uint32_t stored = 99;
    ASSERT_TRUE(ReadNumber(Hive::CurrentUser, kSettingsKey, "IPFilterType", stored));
    EXPECT_EQ(stored, 0u);
}

TEST_F(SiteSettingsTest, TextsLongerThanTheirBufferReadAsTheDefault) {
    ASSERT_TRUE(SetMainPageTitle(std::string(79, 't')));
    EXPECT_EQ(GetMainPageTitle(), std::string(79, 't'));
    ASSERT_TRUE(SetMainPageTitle(std::string(80, 't')));
    EXPECT_EQ(GetMainPageTitle(), "Welcome to My Website!");
    ASSERT_TRUE(SetWebChatWelcomeMsg(std::string(256, 'w')));
    EXPECT_EQ(GetWebChatWelcomeMsg().size(), 256u);
    ASSERT_TRUE(SetWebChatWelcomeMsg(std::string(257, 'w')));
    EXPECT_EQ(GetWebChatWelcomeMsg(), "");
}

TEST_F(SiteSettingsTest, TheHomePageFileCountsOnlyWhenSwitchedOnAndAFile) {
    test::TempFolder files;
    std::string page = files.WriteFile("home.htm", "<p>hi</p>");
    std::string out;
    ASSERT_TRUE(SetHomePageFile(page));
    EXPECT_FALSE(GetHomePageFile(out)) << "type 0 means the generated page";
    ASSERT_TRUE(SetHomePageType(2));
    EXPECT_FALSE(GetHomePageFile(out));
    ASSERT_TRUE(SetHomePageType(1));
    EXPECT_TRUE(GetHomePageFile(out));
    EXPECT_EQ(out, page);
    ASSERT_TRUE(SetHomePageFile(files.Path()));
    EXPECT_FALSE(GetHomePageFile(out)) << "a folder is not a home page";
    EXPECT_EQ(out, "");
    ASSERT_TRUE(SetHomePageFile(files.Child("missing.htm")));
    EXPECT_FALSE(GetHomePageFile(out));
    EXPECT_EQ(GetHomePageFileSetting(), files.Child("missing.htm"));
}

TEST_F(SiteSettingsTest, FlagsReadAnyNonZeroAsOnAndWriteZeroOrOne) {
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, kSettingsKey, "Use Passwords", 7));
    EXPECT_TRUE(UsePasswords());
    ASSERT_TRUE(SetUseAutoBlockList(false));
    EXPECT_FALSE(UseAutoBlockList());
    ASSERT_TRUE(SetLogSelf(true));
    uint32_t stored = 0;
    ASSERT_TRUE(ReadNumber(Hive::CurrentUser, kSettingsKey, "logself", stored));
    EXPECT_EQ(stored, 1u);
}

TEST_F(SiteSettingsTest, AddressListsKeepWholeEntriesAndVanishWhenEmpty) {
    ASSERT_TRUE(WriteIpFilterList({192, 168, 255, 255, 10, 0, 0, 1}));
    EXPECT_EQ(ReadIpFilterList(), (std::vector<uint8_t>{192, 168, 255, 255, 10, 0, 0, 1}));
    const uint8_t ragged[] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(WriteBlob(Hive::CurrentUser, kSettingsKey, "AutoBlockList", ragged, sizeof ragged));
    EXPECT_EQ(ReadAutoBlockList(), (std::vector<uint8_t>{1, 2, 3, 4}));
    ASSERT_TRUE(WriteIpFilterList({}));
    RegistryValue value;
    EXPECT_FALSE(ReadValue(Hive::CurrentUser, kSettingsKey, "IPFilterList", value));
}

}  // namespace
}  // namespace sarvo
