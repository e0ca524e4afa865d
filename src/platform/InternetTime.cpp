#include "platform/InternetTime.h"

namespace sarvo {
namespace {

constexpr const char* kShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kMaxFourDigitYear = 9999;
constexpr int kTwoDigitYearPivot = 70;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char LowerCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerCase(a[i]) != LowerCase(b[i]))
            return false;
    }
    return true;
}

// A cursor over the date text; every reader either consumes what it wants and returns true, or
// returns false, after which the whole parse is abandoned.
class DateScanner {
public:
    explicit DateScanner(std::string_view text) : m_text(text) {}

    bool AtEnd() const { return m_position >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_position]; }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek()))
            ++m_position;
    }

    // At least one blank.
    bool Blanks() {
        size_t start = m_position;
        SkipBlanks();
        return m_position > start;
    }

    bool Char(char wanted) {
        if (Peek() != wanted)
            return false;
        ++m_position;
        return true;
    }

    std::string_view Word() {
        size_t start = m_position;
        while (!AtEnd() && IsLetter(Peek()))
            ++m_position;
        return m_text.substr(start, m_position - start);
    }

    bool Number(size_t minDigits, size_t maxDigits, int& out, size_t* digitCount = nullptr) {
        size_t start = m_position;
        int value = 0;
        while (!AtEnd() && IsDigit(Peek()) && m_position - start < maxDigits) {
            value = value * 10 + (Peek() - '0');
            ++m_position;
        }
        size_t count = m_position - start;
        // More digits than allowed is garbage, not a number followed by something else.
        if (count < minDigits || IsDigit(Peek()))
            return false;
        if (digitCount)
            *digitCount = count;
        out = value;
        return true;
    }

    // The text after the date: blanks, optionally a ";" parameter that runs to the end.
    bool OnlyTrailerLeft() {
        SkipBlanks();
        return AtEnd() || Peek() == ';';
    }

private:
    std::string_view m_text;
    size_t m_position = 0;
};

bool IsDayName(std::string_view word) {
    for (int i = 0; i < 7; ++i) {
        if (EqualsNoCase(word, kShortDayNames[i]) || EqualsNoCase(word, kLongDayNames[i]))
            return true;
    }
    return false;
}

int MonthFromName(std::string_view word) {
    for (int i = 0; i < 12; ++i) {
        if (EqualsNoCase(word, kMonthNames[i]))
            return i + 1;
    }
    return 0;
}

bool Month(DateScanner& scanner, int& month) {
    month = MonthFromName(scanner.Word());
    return month != 0;
}

bool TimeOfDay(DateScanner& scanner, int& hour, int& minute, int& second) {
    return scanner.Number(2, 2, hour) && scanner.Char(':') && scanner.Number(2, 2, minute) &&
           scanner.Char(':') && scanner.Number(2, 2, second);
}

bool GmtZone(DateScanner& scanner) {
    std::string_view zone = scanner.Word();
    return EqualsNoCase(zone, "GMT") || EqualsNoCase(zone, "UTC");
}

struct DateFields {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// "06 Nov 1994 08:49:37 GMT", after "Sun, ".
bool Rfc1123Rest(DateScanner& scanner, DateFields& f) {
    return scanner.Number(1, 2, f.day) && scanner.Blanks() && Month(scanner, f.month) && scanner.Blanks() &&
           scanner.Number(4, 4, f.year) && scanner.Blanks() &&
           TimeOfDay(scanner, f.hour, f.minute, f.second) && scanner.Blanks() && GmtZone(scanner);
}

// "06-Nov-94 08:49:37 GMT", after "Sunday, ". A four-digit year is taken as it is.
bool Rfc850Rest(DateScanner& scanner, DateFields& f) {
    size_t yearDigits = 0;
    if (!(scanner.Number(1, 2, f.day) && scanner.Char('-') && Month(scanner, f.month) && scanner.Char('-') &&
          scanner.Number(2, 4, f.year, &yearDigits)))
        return false;
    if (yearDigits == 3)
        return false;
    if (yearDigits == 2)
        f.year += f.year >= kTwoDigitYearPivot ? 1900 : 2000;
    return scanner.Blanks() && TimeOfDay(scanner, f.hour, f.minute, f.second) && scanner.Blanks() &&
           GmtZone(scanner);
}

// "Nov  6 08:49:37 1994", after "Sun ".
bool AsctimeRest(DateScanner& scanner, DateFields& f) {
    return Month(scanner, f.month) && scanner.Blanks() && scanner.Number(1, 2, f.day) && scanner.Blanks() &&
           TimeOfDay(scanner, f.hour, f.minute, f.second) && scanner.Blanks() && scanner.Number(4, 4, f.year);
}

bool ParseFields(std::string_view text, DateFields& fields) {
    DateScanner scanner(text);
    scanner.SkipBlanks();
    if (!IsDayName(scanner.Word()))
        return false;
    bool parsed = false;
    if (scanner.Char(',')) {
        scanner.SkipBlanks();
        // The RFC 850 day is followed by '-', the RFC 1123 day by a blank.
        DateScanner probe = scanner;
        int day = 0;
        bool dashed = probe.Number(1, 2, day) && probe.Char('-');
        parsed = dashed ? Rfc850Rest(scanner, fields) : Rfc1123Rest(scanner, fields);
    } else {
        parsed = scanner.Blanks() && AsctimeRest(scanner, fields);
    }
    return parsed && scanner.OnlyTrailerLeft();
}

bool FieldsInRange(int year, int month, int day, int hour, int minute, int second) {
    if (year < kMinSystemYear || year > kMaxFourDigitYear || month < 1 || month > 12)
        return false;
    if (day < 1 || day > static_cast<int>(DaysInMonth(year, static_cast<unsigned>(month))))
        return false;
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

// Writes the number's last count decimal digits, with leading zeros.
void PutDigits(char* out, unsigned number, int count) {
    for (int place = count - 1; place >= 0; --place) {
        out[place] = static_cast<char>('0' + number % 10);
        number /= 10;
    }
}

}  // namespace

std::string InternetTimeFromSystemTime(const SystemTime& time) {
    if (!FieldsInRange(time.year, time.month, time.day, time.hour, time.minute, time.second))
        return std::string();
    // Written in place rather than through a format: every response carries at least one.
    std::string text = "Ddd, 00 Mmm 0000 00:00:00 GMT";
    text.replace(0, 3, kShortDayNames[DayOfWeek(time.year, time.month, time.day)]);
    PutDigits(&text[5], time.day, 2);
    text.replace(8, 3, kMonthNames[time.month - 1]);
    PutDigits(&text[12], time.year, 4);
    PutDigits(&text[17], time.hour, 2);
    PutDigits(&text[20], time.minute, 2);
    PutDigits(&text[23], time.second, 2);
    return text;
}

bool InternetTimeToSystemTime(std::string_view text, SystemTime& out) {
    DateFields f;
    if (!ParseFields(text, f) || !FieldsInRange(f.year, f.month, f.day, f.hour, f.minute, f.second))
        return false;
    SystemTime result;
    result.year = static_cast<uint16_t>(f.year);
    result.month = static_cast<uint16_t>(f.month);
    result.day = static_cast<uint16_t>(f.day);
    result.dayOfWeek = DayOfWeek(f.year, static_cast<unsigned>(f.month), static_cast<unsigned>(f.day));
    result.hour = static_cast<uint16_t>(f.hour);
    result.minute = static_cast<uint16_t>(f.minute);
    result.second = static_cast<uint16_t>(f.second);
    out = result;
    return true;
}

}  // namespace sarvo
