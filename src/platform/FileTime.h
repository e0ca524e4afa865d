#pragma once

#include <time.h>

#include <compare>
#include <cstdint>

// Times as the rest of the program keeps them: file times are 100-nanosecond ticks since
// 1601-01-01 00:00 UTC, and broken-down times have the fields and ranges of a Windows SYSTEMTIME.
// Entity tags and the newest-file search compare ticks as 64-bit values, so the unit is part of the
// program's behaviour, not a detail.
namespace sarvo {

inline constexpr uint64_t kTicksPerSecond = 10'000'000;
inline constexpr uint64_t kTicksPerMillisecond = 10'000;
// 1970-01-01 00:00 UTC as a file time.
inline constexpr uint64_t kUnixEpochTicks = 116'444'736'000'000'000;

struct FileTime {
    uint64_t ticks = 0;

    friend auto operator<=>(const FileTime&, const FileTime&) = default;
};

// month 1-12, dayOfWeek 0 = Sunday, day 1-31, hour 0-23, minute and second 0-59, milliseconds 0-999.
struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t dayOfWeek = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

inline constexpr uint16_t kMinSystemYear = 1601;
inline constexpr uint16_t kMaxSystemYear = 30827;

// A time before 1601 gives tick 0; sub-tick nanoseconds are dropped.
FileTime FileTimeFromTimespec(const timespec& time);
FileTime FileTimeFromUnixSeconds(int64_t seconds);

// Whole seconds, rounded down (negative before 1970).
int64_t FileTimeToUnixSeconds(FileTime time);

// False for a time of 2^63 ticks or more (past 30828-09-14), as Windows refuses those too.
bool FileTimeToSystemTime(FileTime time, SystemTime& out);

// Checks every field's range (dayOfWeek is ignored, as Windows does) and the day against the month's
// length, leap years included.
bool SystemTimeToFileTime(const SystemTime& time, FileTime& out);

// Adds the local time zone's offset in force at that instant (daylight saving included), so a file
// written in winter shows its winter time even in summer. False when the result leaves the range.
bool FileTimeToLocalFileTime(FileTime time, FileTime& out);

// 0 = Sunday, for the proleptic Gregorian calendar.
uint16_t DayOfWeek(int year, unsigned month, unsigned day);
bool IsLeapYear(int year);
unsigned DaysInMonth(int year, unsigned month);

SystemTime GetSystemTime();
SystemTime GetLocalTime();
FileTime GetSystemTimeAsFileTime();

}  // namespace sarvo
