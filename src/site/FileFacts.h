#pragma once

#include <climits>
#include <cstdint>
#include <string>

#include "platform/FileTime.h"
#include "platform/FindData.h"

// How the listing pages describe an entry: its size, its type and its time, each as a short text.
namespace sarvo {

// Below 1024 the bare number of bytes; then one decimal of KB, MB or GB (powers of 1024), GB for
// everything from 2^30 on.
std::string FormatSize(uint64_t size);

// The upper-case extension followed by " File" ("photo.jpg" gives "JPG File"); a name without '.'
// gives "". There are no shell type names to ask on this platform, so this fallback is the whole rule,
// for folders too.
std::string FileTypeName(const FindData& entry);

// "%04d-%02d-%02d %02d:%02d" of the time in the local time zone of that instant. A time that cannot be
// converted shows as zeros rather than being left out, so every row keeps its cell.
std::string FormatListingTime(FileTime time);

// FormatListingTime for the many rows of one page. Asking the time zone is most of the cost of a row,
// and the rows of a folder often lie close in time, so the zone's offset is asked once per hour of time
// met (at the hour's first and last second: when both agree, no change of offset lies between them)
// and the date once per local day. Any other time takes FormatListingTime's own way.
class ListingTimeFormat {
public:
    std::string operator()(FileTime time);

private:
    static constexpr int64_t kNoHour = INT64_MIN;

    int64_t m_hour = kNoHour;  // Unix hours since 1970 of the cached offset
    bool m_hourHasOneOffset = false;
    int64_t m_offsetSeconds = 0;
    int64_t m_day = kNoHour;  // local days since 1970 of the cached date
    char m_date[11] = {};     // "YYYY-MM-DD"
};

}  // namespace sarvo
