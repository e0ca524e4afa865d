#pragma once

#include <cstdint>

// How many connections one client address may hold at once. Each connection holds a thread, so one
// client that opens many and sends nothing would otherwise take every place from other visitors.
namespace sarvo {

inline constexpr int kMaxConnectionsPerClient = 64;

// Takes a place for a connection from address (network byte order); false when the address already
// holds kMaxConnectionsPerClient. Every place taken is given back with ReleaseClientPlace.
bool TakeClientPlace(uint32_t address);
void ReleaseClientPlace(uint32_t address);

}  // namespace sarvo
