#include "ui/dialogs/IpAddressText.h"

#include <algorithm>
#include <cstring>

#include "common/Format.h"

namespace sarvo::ui {
namespace {

// Larger numbers are refused anyway; capping keeps a long run of digits from overflowing.
constexpr uint32_t kNumberCap = 100000;
constexpr uint32_t kFieldLimit = 256;

}  // namespace

std::string FormatIpBytes(const uint8_t* bytes) {
    return Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

std::string FormatIpFields(const IpFields& fields) {
    return Format("%u.%u.%u.%u", fields[0], fields[1], fields[2], fields[3]);
}

std::string FormatIpAddress(uint32_t addressNetworkOrder) {
    uint8_t bytes[4];
    std::memcpy(bytes, &addressNetworkOrder, sizeof bytes);
    return FormatIpBytes(bytes);
}

IpFields ParseIpFields(std::string_view text) {
    IpFields fields{};
    size_t field = 0;
    bool digitSeen = false;
    for (const char c : text) {
        if (c == '.') {
            if (!digitSeen || ++field == fields.size())
                return {};
            digitSeen = false;
        } else if (c >= '0' && c <= '9') {
            fields[field] = std::min(fields[field] * 10 + static_cast<uint32_t>(c - '0'), kNumberCap);
            digitSeen = true;
        } else {
            return {};
        }
    }
    if (field != fields.size() - 1 || !digitSeen)
        return {};
    return fields;
}

bool IsAcceptableIpFields(const IpFields& fields) {
    const bool allZero = std::all_of(fields.begin(), fields.end(), [](uint32_t n) { return n == 0; });
    const bool inRange =
        std::all_of(fields.begin(), fields.end(), [](uint32_t n) { return n < kFieldLimit; });
    return !allZero && inRange;
}

}  // namespace sarvo::ui
