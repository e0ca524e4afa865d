#include "site/FileFacts.h"

#include <time.h>

#include <cmath>
#include <cstring>

#include "common/Format.h"

namespace sarvo {
namespace {

constexpr uint64_t kKilobyte = uint64_t{1} << 10;
constexpr uint64_t kMegabyte = uint64_t{1} << 20;
constexpr uint64_t kGigabyte = uint64_t{1} << 30;

// The integer part and the remainder are converted separately, so that sizes beyond the 53 bits a
// double holds exactly still give the right leading digits.
double ScaledSize(uint64_t size, int shift) {
    const uint64_t whole = size >> shift;
    const uint64_t remainder = size & ((uint64_t{1} << shift) - 1);
    return static_cast<double>(whole) + std::ldexp(static_cast<double>(remainder), -shift);
}

constexpr unsigned kLargestFourDigitYear = 9999;

// Writes value as exactly count decimal digits, with leading zeros.
void PutDigits(char* at, int count, unsigned value) {
    for (int i = count - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerDay = 86400;
// 9999-12-31 23:59:59 UTC: beyond it a year no longer has four digits.
constexpr int64_t kLastFourDigitSecond = 253402300799;

int64_t FloorDivide(int64_t value, int64_t divisor) {
    int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

bool OffsetAt(int64_t unixSeconds, int64_t& out) {
    time_t seconds = static_cast<time_t>(unixSeconds);
    tm broken{};
    if (!::localtime_r(&seconds, &broken))
        return false;
    out = broken.tm_gmtoff;
    return true;
}

// The proleptic Gregorian date of a day counted from 1970-01-01 (days from civil, inverted).
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = FloorDivide(days, 146097);
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string FormatSize(uint64_t size) {
    if (size < kKilobyte)
        return std::to_string(size);
    if (size < kMegabyte)
        return Format("%.1lf KB", ScaledSize(size, 10));
    if (size < kGigabyte)
        return Format("%.1lf MB", ScaledSize(size, 20));
    return Format("%.1lf GB", ScaledSize(size, 30));
}

std::string FileTypeName(const FindData& entry) {
    const size_t dot = entry.name.rfind('.');
    if (dot == std::string::npos)
        return std::string();
    std::string type;
    type.reserve(entry.name.size() - dot + 5);
    for (size_t i = dot + 1; i < entry.name.size(); ++i)
        type.push_back(UpperAscii(entry.name[i]));
    type += " File";
    return type;
}

std::string FormatListingTime(FileTime time) {
    FileTime local;
    SystemTime parts;
    if (!FileTimeToLocalFileTime(time, local) || !FileTimeToSystemTime(local, parts))
        parts = SystemTime{};
    // Written digit by digit: a listing formats one time per row, and this is what "%04d-%02d-%02d
    // %02d:%02d" gives for years of up to four digits.
    if (parts.year > kLargestFourDigitYear)
        return Format("%04d-%02d-%02d %02d:%02d", parts.year, parts.month, parts.day, parts.hour,
                      parts.minute);
    char text[] = "0000-00-00 00:00";
    PutDigits(text, 4, parts.year);
    PutDigits(text + 5, 2, parts.month);
    PutDigits(text + 8, 2, parts.day);
    PutDigits(text + 11, 2, parts.hour);
    PutDigits(text + 14, 2, parts.minute);
    return std::string(text, sizeof text - 1);
}

std::string ListingTimeFormat::operator()(FileTime time) {
    const int64_t seconds = FileTimeToUnixSeconds(time);
    if (seconds < 0 || seconds > kLastFourDigitSecond)
        return FormatListingTime(time);
    const int64_t hour = seconds / kSecondsPerHour;
    if (hour != m_hour) {
        m_hour = hour;
        int64_t first = 0;
        int64_t last = 0;
        m_hourHasOneOffset = OffsetAt(hour * kSecondsPerHour, first) &&
                             OffsetAt(hour * kSecondsPerHour + kSecondsPerHour - 1, last) && first == last;
        m_offsetSeconds = first;
    }
    if (!m_hourHasOneOffset)
        return FormatListingTime(time);
    const int64_t local = seconds + m_offsetSeconds;
    const int64_t day = FloorDivide(local, kSecondsPerDay);
    if (day != m_day) {
        int64_t year = 0;
        unsigned month = 0;
        unsigned dayOfMonth = 0;
        CivilFromDays(day, year, month, dayOfMonth);
        if (year < 0 || year > static_cast<int64_t>(kLargestFourDigitYear))
            return FormatListingTime(time);
        m_day = day;
        std::memcpy(m_date, "0000-00-00", sizeof m_date);
        PutDigits(m_date, 4, static_cast<unsigned>(year));
        PutDigits(m_date + 5, 2, month);
        PutDigits(m_date + 8, 2, dayOfMonth);
    }
    const int64_t secondOfDay = local - day * kSecondsPerDay;
    char text[] = "0000-00-00 00:00";
    std::memcpy(text, m_date, 10);
    PutDigits(text + 11, 2, static_cast<unsigned>(secondOfDay / kSecondsPerHour));
    PutDigits(text + 14, 2, static_cast<unsigned>(secondOfDay % kSecondsPerHour / 60));
    return std::string(text, sizeof text - 1);
}

}  // namespace sarvo
