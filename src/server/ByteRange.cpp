#include "server/ByteRange.h"

#include <limits>

#include "common/Text.h"

namespace sarvo {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the digits at the front of text into value and drops them from text. False when there are
// none, or when the number does not fit 64 bits: wrapping it would turn a huge offset into a small
// one that looks usable.
bool TakeNumber(std::string_view& text, uint64_t& value) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    size_t used = 0;
    value = 0;
    while (used < text.size() && IsDigit(text[used])) {
        const uint64_t digit = static_cast<uint64_t>(text[used] - '0');
        if (value > (kMax - digit) / 10)
            return false;
        value = value * 10 + digit;
        ++used;
    }
    text.remove_prefix(used);
    return used > 0;
}

}  // namespace

bool ParseByteRange(std::string_view text, uint64_t size, ByteRange& out) {
    out = ByteRange{};
    if (text.empty() || size == 0 || text.size() > kMaxRangeText)
        return false;
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos || !EqualsIgnoreCase(text.substr(0, equals), "bytes"))
        return false;
    std::string_view rangeText = text.substr(equals + 1);

    ByteRange range;
    if (!rangeText.empty() && rangeText.front() == '-') {
        rangeText.remove_prefix(1);
        uint64_t suffix = 0;
        if (!TakeNumber(rangeText, suffix) || !rangeText.empty() || suffix == 0 || suffix > size)
            return false;
        range.first = size - suffix;
        range.last = size - 1;
    } else {
        if (!TakeNumber(rangeText, range.first) || rangeText.empty() || rangeText.front() != '-')
            return false;
        rangeText.remove_prefix(1);
        if (rangeText.empty()) {
            range.last = size - 1;
        } else if (!TakeNumber(rangeText, range.last) || !rangeText.empty()) {
            return false;
        }
    }
    if (range.first > range.last || range.last >= size)
        return false;
    out = range;
    return true;
}

}  // namespace sarvo
