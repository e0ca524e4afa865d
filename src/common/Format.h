#pragma once

#include <cstdint>
#include <string>

namespace sarvo {

// printf-style formatting into a std::string. The program's texts are printf formats ("%s\%s",
// "%lx\r\n"), so they are kept as they stand rather than rewritten for another formatter.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A count in decimal with its thousands separated by ",": 1234567 gives "1,234,567".
std::string FormatCount(uint64_t count);

}  // namespace sarvo
