#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ChildProcess.h"

namespace sarvo {
namespace {

SystemTime MakeTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                    int milliseconds = 0) {
    auto field = [](int value) { return static_cast<uint16_t>(value); };
    return SystemTime{field(year),   field(month),       0, field(day), field(hour), field(minute),
                      field(second), field(milliseconds)};
}

TEST(FileTimeTest, UnixSecondsAndTimespecsConvertBothWays) {
    EXPECT_EQ(FileTimeFromUnixSeconds(0).ticks, 116444736000000000u);
    // 2000-01-01 00:00:00 UTC is 946684800 Unix seconds.
    EXPECT_EQ(FileTimeFromUnixSeconds(946684800).ticks, 125911584000000000u);
    // Before 1601 there is no file time.
    EXPECT_EQ(FileTimeFromUnixSeconds(-11644473601).ticks, 0u);
    EXPECT_EQ(FileTimeFromUnixSeconds(-11644473599).ticks, kTicksPerSecond);
    timespec time{1, 123456789};
    EXPECT_EQ(FileTimeFromTimespec(time).ticks, kUnixEpochTicks + kTicksPerSecond + 1234567);
    // Seconds round down, also before the epoch.
    EXPECT_EQ(FileTimeToUnixSeconds(FileTime{kUnixEpochTicks + kTicksPerSecond - 1}), 0);
    EXPECT_EQ(FileTimeToUnixSeconds(FileTime{kUnixEpochTicks - 1}), -1);
    for (int64_t seconds : {int64_t{-86400}, int64_t{1700000000}, int64_t{4102444800}})
        EXPECT_EQ(FileTimeToUnixSeconds(FileTimeFromUnixSeconds(seconds)), seconds);
}

struct CalendarCase {
    const char* description;
    uint64_t ticks;
    SystemTime time;
    int dayOfWeek;
};

// Whole days, leap rules and weekdays are covered day by day below; these rows are times of day.
TEST(FileTimeTest, TicksAndCalendarTimesConvertBothWays) {
    const CalendarCase cases[] = {
        {"milliseconds survive", kUnixEpochTicks + 1234 * kTicksPerMillisecond,
         MakeTime(1970, 1, 1, 0, 0, 1, 234), 4},
        {"the HTTP example", 124285853770000000u, MakeTime(1994, 11, 6, 8, 49, 37), 0},
        {"last second of 1999", 125911583990000000u, MakeTime(1999, 12, 31, 23, 59, 59), 5},
    };
    for (const CalendarCase& c : cases) {
        SCOPED_TRACE(c.description);
        SystemTime broken;
        ASSERT_TRUE(FileTimeToSystemTime(FileTime{c.ticks}, broken));
        SystemTime expected = c.time;
        expected.dayOfWeek = static_cast<uint16_t>(c.dayOfWeek);
        EXPECT_EQ(broken, expected);
        FileTime back;
        ASSERT_TRUE(SystemTimeToFileTime(c.time, back));
        EXPECT_EQ(back.ticks, c.ticks);
    }
}

TEST(FileTimeTest, EveryDayOfFourCenturiesRoundTrips) {
    // 1601 to 2001 is one whole 400-year cycle with every leap-year rule in it.
    FileTime previous{0};
    int64_t days = 0;
    for (int year = 1601; year <= 2000; ++year) {
        for (unsigned month = 1; month <= 12; ++month) {
            for (unsigned day = 1; day <= DaysInMonth(year, month); ++day, ++days) {
                FileTime ticks;
                ASSERT_TRUE(SystemTimeToFileTime(MakeTime(year, month, day, 12), ticks));
                ASSERT_EQ(ticks.ticks, static_cast<uint64_t>(days * 86400 + 12 * 3600) * kTicksPerSecond);
                SystemTime back;
                ASSERT_TRUE(FileTimeToSystemTime(ticks, back));
                ASSERT_EQ(back.year, year);
                ASSERT_EQ(back.month, month);
                ASSERT_EQ(back.day, day);
                ASSERT_EQ(back.dayOfWeek, (days + 1) % 7) << year << "-" << month << "-" << day;
                ASSERT_GT(ticks, previous);
                previous = ticks;
            }
        }
    }
    EXPECT_EQ(days, 146097);
}

TEST(FileTimeTest, SystemTimeFieldsOutOfRangeAreRefused) {
    const SystemTime refused[] = {
        MakeTime(1600, 12, 31),
        MakeTime(30828, 1, 1),
        MakeTime(2023, 0, 1),
        MakeTime(2023, 13, 1),
        MakeTime(2023, 2, 29),
        MakeTime(2023, 4, 31),
        MakeTime(2023, 1, 0),
        MakeTime(2023, 1, 1, 24),
        MakeTime(2023, 1, 1, 0, 60),
        MakeTime(2023, 1, 1, 0, 0, 60),
        MakeTime(2023, 1, 1, 0, 0, 0, 1000),
    };
    for (const SystemTime& time : refused) {
        SCOPED_TRACE(testing::Message()
                     << time.year << "-" << time.month << "-" << time.day << " " << time.hour << ":"
                     << time.minute << ":" << time.second << "." << time.milliseconds);
        FileTime out{42};
        EXPECT_FALSE(SystemTimeToFileTime(time, out));
        EXPECT_EQ(out.ticks, 42u);
    }
    FileTime last;
    EXPECT_TRUE(SystemTimeToFileTime(MakeTime(30827, 12, 31, 23, 59, 59, 999), last));
    SystemTime dayOfWeekIgnored = MakeTime(2024, 2, 29);
    dayOfWeekIgnored.dayOfWeek = 6;
    EXPECT_TRUE(SystemTimeToFileTime(dayOfWeekIgnored, last));
}

TEST(FileTimeTest, TicksFromTwoToTheSixtyThreeOnAreNotCalendarTimes) {
    SystemTime out;
    EXPECT_TRUE(FileTimeToSystemTime(FileTime{0x7FFFFFFFFFFFFFFFu}, out));
    EXPECT_EQ(out.year, 30828);
    EXPECT_EQ(out.month, 9);
    EXPECT_EQ(out.day, 14);
    EXPECT_FALSE(FileTimeToSystemTime(FileTime{0x8000000000000000u}, out));
}

TEST(FileTimeTest, LocalFileTimeAddsTheOffsetInForceAtThatInstant) {
    std::string report = test::RunInChild([] {
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
        std::string result;
        // Winter (+1 h) and summer (+2 h) instants of 2023.
        for (int64_t seconds : {int64_t{1673784000}, int64_t{1689422400}}) {
            FileTime local;
            FileTime utc = FileTimeFromUnixSeconds(seconds);
            if (!FileTimeToLocalFileTime(utc, local))
                return std::string("refused");
            result += std::to_string((static_cast<int64_t>(local.ticks) - static_cast<int64_t>(utc.ticks)) /
                                     static_cast<int64_t>(kTicksPerSecond)) +
                      " ";
        }
        FileTime out;
        result += FileTimeToLocalFileTime(FileTime{0x7FFFFFFFFFFFFFFFu}, out) ? "kept" : "out of range";
        return result;
    });
    EXPECT_EQ(report, "3600 7200 out of range");
}

}  // namespace
}  // namespace sarvo
