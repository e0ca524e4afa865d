#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Which clients are refused at accept time: the owner's IP filter list (an allowed-only or a forbidden
// list of patterns) and the auto-block list the server fills itself. Nothing is cached: each check
// reads the settings at that moment, so a change made in the control window applies to the next
// connection. Clients on this computer are admitted by the caller before these checks.
namespace sarvo {

inline constexpr size_t kIpEntrySize = 4;
// A pattern byte of this value matches any value of the address byte.
inline constexpr uint8_t kIpPatternAnyByte = 255;

// The four address bytes in the order they are written: a.b.c.d is {a, b, c, d}.
using IpPattern = std::array<uint8_t, kIpEntrySize>;

// The address is an in_addr value (network byte order), as getpeername gives it.
bool MatchesIpPattern(const IpPattern& pattern, uint32_t addressNetworkOrder);

// The whole rule over given settings. filterType is 0 (off), 1 (allowed-only) or 2 (forbidden); the
// lists are the stored bytes, whose trailing bytes beyond the last whole entry are ignored. An empty
// filter list leaves the filter type without effect; the auto-block list applies on top of the
// filter, so an address the allowed-only list admits is still refused when it is auto-blocked.
bool IsBlockedBy(uint32_t filterType, const std::vector<uint8_t>& filterList, bool useAutoBlock,
                 const std::vector<uint8_t>& autoBlockList, uint32_t addressNetworkOrder);

// The rule over the stored settings.
bool IsBlockedAddress(uint32_t addressNetworkOrder);

// Each appends the entry unless an identical one is listed. True when the entry is listed afterwards;
// false when the store could not be written. Additions are serialised within the process, so two
// connection threads adding at the same moment never write back a list without the other's entry.
bool AddToAutoBlockList(uint32_t addressNetworkOrder);
bool AddToIpFilterList(const IpPattern& pattern);

}  // namespace sarvo
