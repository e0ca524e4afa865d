#pragma once

#include <string>
#include <string_view>

#include "platform/FileTime.h"

// HTTP dates (Date, Last-Modified, Expires, If-Modified-Since). Both directions are pure functions
// over the C locale's English names: no strftime, strptime or locale, so they are safe on every
// thread and their output does not change with the user's language.
namespace sarvo {

// Length of "Sun, 06 Nov 1994 08:49:37 GMT".
inline constexpr size_t kInternetTimeLength = 29;

// RFC 1123 form, always GMT. The weekday is computed from the date; the time's dayOfWeek field is not
// trusted. Gives "" for a field out of range or a year that has not four digits (1601-9999).
std::string InternetTimeFromSystemTime(const SystemTime& time);

// Reads the three forms HTTP allows:
//   RFC 1123  "Sun, 06 Nov 1994 08:49:37 GMT"
//   RFC 850   "Sunday, 06-Nov-94 08:49:37 GMT"  (a two-digit year 70-99 is 19xx, 00-69 is 20xx)
//   asctime   "Sun Nov  6 08:49:37 1994"
// Names are compared without regard to case; blanks around the text are ignored, and so is a
// trailing ";..." parameter, which some old browsers append to If-Modified-Since. The zone must be
// GMT or UTC where the form has one. The weekday must be a weekday name (short or long) but is not
// checked against the date; out gets the computed one and milliseconds 0. A second of 60 is refused
// with the other out-of-range fields. On false, out is left unchanged.
bool InternetTimeToSystemTime(std::string_view text, SystemTime& out);

}  // namespace sarvo
