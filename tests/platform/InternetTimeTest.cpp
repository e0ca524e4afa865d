#include "platform/InternetTime.h"

#include <gtest/gtest.h>

namespace sarvo {
namespace {

SystemTime MakeTime(int year, int month, int day, int hour, int minute, int second, int milliseconds = 0) {
    auto field = [](int value) { return static_cast<uint16_t>(value); };
    return SystemTime{field(year),   field(month),       0, field(day), field(hour), field(minute),
                      field(second), field(milliseconds)};
}

struct FormatCase {
    const char* description;
    SystemTime time;
    const char* expected;
};

// Field ranges are checked by the calendar conversion, whose own table covers each field; one or two
// rows here show that its refusal reaches the text form.
TEST(InternetTimeTest, FormatsRfc1123WithTheComputedWeekday) {
    SystemTime wrongWeekday = MakeTime(1994, 11, 6, 8, 49, 37, 999);
    wrongWeekday.dayOfWeek = 3;
    const FormatCase cases[] = {
        {"the example date", MakeTime(1994, 11, 6, 8, 49, 37), "Sun, 06 Nov 1994 08:49:37 GMT"},
        {"weekday field and milliseconds are ignored", wrongWeekday, "Sun, 06 Nov 1994 08:49:37 GMT"},
        {"leap day", MakeTime(2024, 2, 29, 23, 59, 59), "Thu, 29 Feb 2024 23:59:59 GMT"},
        {"midnight at the Unix epoch", MakeTime(1970, 1, 1, 0, 0, 0), "Thu, 01 Jan 1970 00:00:00 GMT"},
        {"first year a file time holds", MakeTime(1601, 1, 1, 0, 0, 0), "Mon, 01 Jan 1601 00:00:00 GMT"},
        {"last four-digit year", MakeTime(9999, 12, 31, 12, 0, 0), "Fri, 31 Dec 9999 12:00:00 GMT"},
        {"year 2000 was a leap year", MakeTime(2000, 2, 29, 1, 2, 3), "Tue, 29 Feb 2000 01:02:03 GMT"},
        {"no leap day in 1900", MakeTime(1900, 2, 29, 0, 0, 0), ""},
        {"year before 1601", MakeTime(1600, 12, 31, 0, 0, 0), ""},
        {"five-digit year", MakeTime(10000, 1, 1, 0, 0, 0), ""},
        {"31 April", MakeTime(2020, 4, 31, 0, 0, 0), ""},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.description);
        std::string text = InternetTimeFromSystemTime(c.time);
        EXPECT_EQ(text, c.expected);
        if (!text.empty()) {
            EXPECT_EQ(text.size(), kInternetTimeLength);
        }
    }
}

struct ParseCase {
    const char* description;
    const char* text;
    bool valid;
    SystemTime expected;
};

TEST(InternetTimeTest, ParsesTheThreeHttpFormsAndRefusesAnythingElse) {
    const SystemTime example = MakeTime(1994, 11, 6, 8, 49, 37);
    const ParseCase cases[] = {
        {"RFC 1123", "Sun, 06 Nov 1994 08:49:37 GMT", true, example},
        {"RFC 850", "Sunday, 06-Nov-94 08:49:37 GMT", true, example},
        {"asctime", "Sun Nov  6 08:49:37 1994", true, example},
        {"asctime with a two-digit day", "Wed Nov 16 08:49:37 1994", true, MakeTime(1994, 11, 16, 8, 49, 37)},
        {"names in any case", "sUN, 06 nOV 1994 08:49:37 gmt", true, example},
        {"UTC zone", "Sun, 06 Nov 1994 08:49:37 UTC", true, example},
        {"surrounding blanks", "  \tSun, 06 Nov 1994 08:49:37 GMT \r\n", true, example},
        {"old browsers' length parameter", "Sun, 06 Nov 1994 08:49:37 GMT; length=1234", true, example},
        {"one-digit day in RFC 1123", "Sun, 6 Nov 1994 08:49:37 GMT", true, example},
        {"long weekday name in RFC 1123", "Sunday, 06 Nov 1994 08:49:37 GMT", true, example},
        {"weekday not checked against the date", "Mon, 06 Nov 1994 08:49:37 GMT", true, example},
        {"RFC 850 year 69 is 2069", "Thursday, 01-Jan-69 00:00:00 GMT", true, MakeTime(2069, 1, 1, 0, 0, 0)},
        {"RFC 850 year 70 is 1970", "Thursday, 01-Jan-70 00:00:00 GMT", true, MakeTime(1970, 1, 1, 0, 0, 0)},
        {"RFC 850 four-digit year", "Sunday, 06-Nov-1994 08:49:37 GMT", true, example},
        {"leap day", "Thu, 29 Feb 2024 12:00:00 GMT", true, MakeTime(2024, 2, 29, 12, 0, 0)},
        {"empty", "", false, {}},
        {"no weekday", "06 Nov 1994 08:49:37 GMT", false, {}},
        {"not a weekday", "Sun-ish, 06 Nov 1994 08:49:37 GMT", false, {}},
        {"unknown month", "Sun, 06 Nox 1994 08:49:37 GMT", false, {}},
        {"other zone", "Sun, 06 Nov 1994 08:49:37 PST", false, {}},
        {"offset after the zone", "Sun, 06 Nov 1994 08:49:37 GMT+0100", false, {}},
        {"no zone", "Sun, 06 Nov 1994 08:49:37", false, {}},
        {"two-digit year in RFC 1123", "Sun, 06 Nov 94 08:49:37 GMT", false, {}},
        {"five-digit year", "Sun, 06 Nov 19940 08:49:37 GMT", false, {}},
        {"three-digit day", "Sun, 006 Nov 1994 08:49:37 GMT", false, {}},
        {"one-digit hour", "Sun, 06 Nov 1994 8:49:37 GMT", false, {}},
        {"missing seconds", "Sun, 06 Nov 1994 08:49 GMT", false, {}},
        {"second 60", "Sun, 06 Nov 1994 08:49:60 GMT", false, {}},
        {"29 February of a common year", "Wed, 29 Feb 2023 00:00:00 GMT", false, {}},
        {"year before 1601", "Sun, 06 Nov 1600 08:49:37 GMT", false, {}},
        {"garbage after the date", "Sun, 06 Nov 1994 08:49:37 GMT xyz", false, {}},
        {"asctime with a zone", "Sun Nov  6 08:49:37 GMT 1994", false, {}},
        {"asctime garbage after the year", "Sun Nov  6 08:49:37 1994x", false, {}},
        {"RFC 850 with blanks instead of dashes", "Sunday, 06 Nov-94 08:49:37 GMT", false, {}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.description);
        SystemTime untouched = MakeTime(2001, 2, 3, 4, 5, 6, 7);
        SystemTime out = untouched;
        EXPECT_EQ(InternetTimeToSystemTime(c.text, out), c.valid);
        if (!c.valid) {
            EXPECT_EQ(out, untouched);
            continue;
        }
        SystemTime expected = c.expected;
        expected.dayOfWeek = DayOfWeek(expected.year, expected.month, expected.day);
        EXPECT_EQ(out, expected);
        EXPECT_EQ(out.milliseconds, 0);
    }
}

}  // namespace
}  // namespace sarvo
