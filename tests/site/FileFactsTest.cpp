#include "site/FileFacts.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace sarvo {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = kKiB * 1024;
constexpr uint64_t kGiB = kMiB * 1024;

TEST(FormatSize, UnitsAndRounding) {
    struct Case {
        const char* description;
        uint64_t size;
        const char* expected;
    } cases[] = {
        {"zero", 0, "0"},
        {"largest bare byte count", 1023, "1023"},
        {"one kilobyte", 1024, "1.0 KB"},
        {"a kilobyte and a half", 1536, "1.5 KB"},
        {"rounds down below the half", 1024 + 51, "1.0 KB"},
        {"rounds up above the half", 1024 + 52, "1.1 KB"},
        {"one byte short of a megabyte", kMiB - 1, "1024.0 KB"},
        {"one megabyte", kMiB, "1.0 MB"},
        {"2.5 megabytes", 5 * kMiB / 2, "2.5 MB"},
        {"one byte short of a gigabyte", kGiB - 1, "1024.0 MB"},
        {"one gigabyte", kGiB, "1.0 GB"},
        {"upper 32 bits set", uint64_t{1} << 32, "4.0 GB"},
        {"five gibibytes", 5 * kGiB, "5.0 GB"},
        {"beyond a double's exact range", (uint64_t{1} << 60) + 1, "1073741824.0 GB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(FormatSize(c.size), c.expected);
    }
}

TEST(FileTypeName, UpperCaseExtensionFollowedByFile) {
    struct Case {
        const char* name;
        uint32_t attributes;
        const char* expected;
    } cases[] = {
        {"photo.jpg", kFileAttributeArchive, "JPG File"},
        {"archive.tar.gz", kFileAttributeArchive, "GZ File"},
        {"Mixed.HtMl", kFileAttributeArchive, "HTML File"},
        {"README", kFileAttributeArchive, ""},
        {"trailing.", kFileAttributeArchive, " File"},
        {".bashrc", kFileAttributeArchive | kFileAttributeHidden, "BASHRC File"},
        // Only ASCII letters change case; other bytes pass as they are.
        {"caf\xc3\xa9.t\xc3\xa9x", kFileAttributeArchive, "T\xc3\xa9X File"},
        // No shell names exist here, so a folder follows the same rule.
        {"music", kFileAttributeDirectory, ""},
        {"backup.d", kFileAttributeDirectory, "D File"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FindData entry;
        entry.name = c.name;
        entry.attributes = c.attributes;
        EXPECT_EQ(FileTypeName(entry), c.expected);
    }
}

class ListingTime : public ::testing::Test {
protected:
    void UseZone(const char* zone) {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
    }
};

TEST_F(ListingTime, ShowsTheLocalTimeOfThatInstant) {
    // 2005-01-15 14:05:59 UTC and 2005-07-15 14:05:59 UTC. UTC itself is in the whole listing pages.
    const FileTime winter = FileTimeFromUnixSeconds(1105797959);
    const FileTime summer = FileTimeFromUnixSeconds(1121436359);
    UseZone("Europe/Berlin");
    EXPECT_EQ(FormatListingTime(winter), "2005-01-15 15:05");
    EXPECT_EQ(FormatListingTime(summer), "2005-07-15 16:05");
    UseZone("America/New_York");
    EXPECT_EQ(FormatListingTime(winter), "2005-01-15 09:05");
}

TEST_F(ListingTime, PageFormatAgreesWithTheOneTimeFormat) {
    // Zones with daylight saving, with half- and quarter-hour offsets and shifts, and a southern one.
    const char* zones[] = {"UTC",
                           "Europe/Berlin",
                           "America/St_Johns",
                           "Australia/Lord_Howe",
                           "Asia/Kathmandu",
                           "America/Sao_Paulo",
                           "Pacific/Chatham"};
    std::mt19937_64 random(1105797959);
    for (const char* zone : zones) {
        SCOPED_TRACE(zone);
        UseZone(zone);
        ListingTimeFormat format;
        // Random times from 1601 to 10000, then runs of nearby times as the rows of a folder have,
        // with every hour of a year that holds transitions.
        std::vector<FileTime> times;
        for (int i = 0; i < 2000; ++i)
            times.push_back(FileTime{random() % (uint64_t{265046774400} * kTicksPerSecond)});
        const int64_t year2024 = 1704067200;
        for (int64_t second = year2024; second < year2024 + 366 * 86400; second += 1800 + random() % 7)
            times.push_back(FileTimeFromUnixSeconds(second));
        times.push_back(FileTime{0});
        times.push_back(FileTimeFromUnixSeconds(-1));
        times.push_back(FileTimeFromUnixSeconds(253402300799));
        times.push_back(FileTimeFromUnixSeconds(253402300800));
        for (const FileTime& time : times)
            ASSERT_EQ(format(time), FormatListingTime(time)) << time.ticks;
    }
}

}  // namespace
}  // namespace sarvo
