#include "common/Format.h"

#include <cstdarg>
#include <cstdio>

namespace sarvo {

std::string Format(const char* format, ...) {
    char small[256];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(small, sizeof small, format, arguments);
    va_end(arguments);
    if (length < 0)
        return std::string();
    if (static_cast<size_t>(length) < sizeof small)
        return std::string(small, static_cast<size_t>(length));

    std::string text(static_cast<size_t>(length), '\0');
    va_start(arguments, format);
    std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    va_end(arguments);
    return text;
}

std::string FormatCount(uint64_t count) {
    std::string digits = std::to_string(count);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (size_t index = 0; index < digits.size(); ++index) {
        if (index > 0 && (digits.size() - index) % 3 == 0)
            grouped.push_back(',');
        grouped.push_back(digits[index]);
    }
    return grouped;
}

}  // namespace sarvo
