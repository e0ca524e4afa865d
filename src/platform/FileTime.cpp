#include "platform/FileTime.h"

#include <climits>

namespace sarvo {
namespace {

constexpr int64_t kSecondsPerDay = 86'400;
constexpr int64_t kNanosecondsPerTick = 100;
constexpr uint64_t kMaxConvertibleTicks = static_cast<uint64_t>(INT64_MAX);
constexpr unsigned kMaxHour = 23;
constexpr unsigned kMaxMinute = 59;
constexpr unsigned kMaxSecond = 59;
constexpr unsigned kMaxMilliseconds = 999;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the "civil" algorithms, exact over
// the whole range of int years). Eras of 400 years make the leap-year rule a plain division.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

int64_t FloorDivide(int64_t value, int64_t divisor) {
    int64_t quotient = value / divisor;
    return (value % divisor < 0) ? quotient - 1 : quotient;
}

SystemTime SystemTimeFromTm(const tm& broken, long nanoseconds) {
    SystemTime result;
    result.year = static_cast<uint16_t>(broken.tm_year + 1900);
    result.month = static_cast<uint16_t>(broken.tm_mon + 1);
    result.dayOfWeek = static_cast<uint16_t>(broken.tm_wday);
    result.day = static_cast<uint16_t>(broken.tm_mday);
    result.hour = static_cast<uint16_t>(broken.tm_hour);
    result.minute = static_cast<uint16_t>(broken.tm_min);
    // A leap second is folded into the second before it: SYSTEMTIME has no second 60.
    result.second =
        static_cast<uint16_t>(broken.tm_sec > static_cast<int>(kMaxSecond) ? kMaxSecond : broken.tm_sec);
    result.milliseconds = static_cast<uint16_t>(nanoseconds / 1'000'000);
    return result;
}

timespec RealTimeNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(int year, unsigned month) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

uint16_t DayOfWeek(int year, unsigned month, unsigned day) {
    // 1970-01-01 was a Thursday (4).
    int64_t days = DaysFromCivil(year, month, day);
    int64_t weekday = (days + 4) % 7;
    return static_cast<uint16_t>(weekday < 0 ? weekday + 7 : weekday);
}

FileTime FileTimeFromTimespec(const timespec& time) {
    const int64_t epochSeconds = static_cast<int64_t>(kUnixEpochTicks / kTicksPerSecond);
    if (time.tv_sec < -epochSeconds)
        return FileTime{0};
    // Seconds since 1601 fit comfortably; only a time_t near its own limit could overflow the ticks.
    uint64_t seconds = static_cast<uint64_t>(time.tv_sec + epochSeconds);
    if (seconds > UINT64_MAX / kTicksPerSecond - 1)
        return FileTime{UINT64_MAX};
    return FileTime{seconds * kTicksPerSecond + static_cast<uint64_t>(time.tv_nsec / kNanosecondsPerTick)};
}

FileTime FileTimeFromUnixSeconds(int64_t seconds) {
    timespec time{};
    time.tv_sec = static_cast<time_t>(seconds);
    return FileTimeFromTimespec(time);
}

int64_t FileTimeToUnixSeconds(FileTime time) {
    const int64_t seconds = static_cast<int64_t>(time.ticks / kTicksPerSecond);
    return seconds - static_cast<int64_t>(kUnixEpochTicks / kTicksPerSecond);
}

bool FileTimeToSystemTime(FileTime time, SystemTime& out) {
    if (time.ticks > kMaxConvertibleTicks)
        return false;
    const int64_t unixSeconds = FileTimeToUnixSeconds(time);
    const int64_t days = FloorDivide(unixSeconds, kSecondsPerDay);
    const int64_t secondOfDay = unixSeconds - days * kSecondsPerDay;
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, year, month, day);
    SystemTime result;
    result.year = static_cast<uint16_t>(year);
    result.month = static_cast<uint16_t>(month);
    result.day = static_cast<uint16_t>(day);
    result.dayOfWeek = DayOfWeek(static_cast<int>(year), month, day);
    result.hour = static_cast<uint16_t>(secondOfDay / 3600);
    result.minute = static_cast<uint16_t>(secondOfDay / 60 % 60);
    result.second = static_cast<uint16_t>(secondOfDay % 60);
    result.milliseconds = static_cast<uint16_t>(time.ticks % kTicksPerSecond / kTicksPerMillisecond);
    out = result;
    return true;
}

bool SystemTimeToFileTime(const SystemTime& time, FileTime& out) {
    if (time.year < kMinSystemYear || time.year > kMaxSystemYear)
        return false;
    if (time.day < 1 || time.day > DaysInMonth(time.year, time.month))
        return false;
    if (time.hour > kMaxHour || time.minute > kMaxMinute || time.second > kMaxSecond ||
        time.milliseconds > kMaxMilliseconds)
        return false;
    const int64_t days = DaysFromCivil(time.year, time.month, time.day) - DaysFromCivil(kMinSystemYear, 1, 1);
    const int64_t seconds = days * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
    out.ticks = static_cast<uint64_t>(seconds) * kTicksPerSecond + time.milliseconds * kTicksPerMillisecond;
    return true;
}

bool FileTimeToLocalFileTime(FileTime time, FileTime& out) {
    time_t seconds = static_cast<time_t>(FileTimeToUnixSeconds(time));
    tm broken{};
    if (!::localtime_r(&seconds, &broken))
        return false;
    const int64_t offsetTicks =
        static_cast<int64_t>(broken.tm_gmtoff) * static_cast<int64_t>(kTicksPerSecond);
    if (offsetTicks < 0 && time.ticks < static_cast<uint64_t>(-offsetTicks))
        return false;
    if (offsetTicks > 0 && time.ticks > kMaxConvertibleTicks - static_cast<uint64_t>(offsetTicks))
        return false;
    out.ticks = time.ticks + static_cast<uint64_t>(offsetTicks);
    return true;
}

SystemTime GetSystemTime() {
    timespec now = RealTimeNow();
    tm broken{};
    ::gmtime_r(&now.tv_sec, &broken);
    return SystemTimeFromTm(broken, now.tv_nsec);
}

SystemTime GetLocalTime() {
    timespec now = RealTimeNow();
    tm broken{};
    ::localtime_r(&now.tv_sec, &broken);
    return SystemTimeFromTm(broken, now.tv_nsec);
}

FileTime GetSystemTimeAsFileTime() {
    return FileTimeFromTimespec(RealTimeNow());
}

}  // namespace sarvo
