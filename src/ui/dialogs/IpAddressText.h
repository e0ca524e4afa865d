#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Addresses and address patterns as the owner reads and types them: "a.b.c.d".
namespace sarvo::ui {

// The four numbers as typed; each may be out of range, which the editor's rule then refuses.
using IpFields = std::array<uint32_t, 4>;

// "%u.%u.%u.%u" of four stored bytes, a.b.c.d being {a, b, c, d}.
std::string FormatIpBytes(const uint8_t* bytes);
// The same for fields the editor accepted (each below 256).
std::string FormatIpFields(const IpFields& fields);
// The same for an address in network byte order.
std::string FormatIpAddress(uint32_t addressNetworkOrder);

// Four unsigned decimal numbers separated by exactly three '.'; anything else reads as four zeros.
IpFields ParseIpFields(std::string_view text);
// What the IP Address Editor accepts: not all four zero, and each below 256.
bool IsAcceptableIpFields(const IpFields& fields);

}  // namespace sarvo::ui
