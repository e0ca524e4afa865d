#pragma once

#include <cstddef>
#include <string_view>

// Reading the one request header of a connection, with the auto-block rules applied while it arrives.
namespace sarvo {

class ConnectionContext;

inline constexpr int kReadRefused = -1;       // not acceptable, and the client was auto-blocked
inline constexpr int kReadMalicious = -2;     // forbidden bytes in a partial header
inline constexpr int kReadTooLong = -3;       // no end of header within the size limit
inline constexpr int kReadDisconnected = -5;  // the client closed, a receive failed, or it was too slow

// Without the auto-block list a header may still not grow without bound nor take forever to arrive.
inline constexpr size_t kMaxHeaderWithoutAutoBlock = 64 * 1024;
inline constexpr int kHeaderTimeLimitMs = 60'000;
inline constexpr int kReceiveStepMs = 3000;

// 0 once a header block was received and parsed into the connection's request; the block is then
// removed from the receive buffer and whatever followed it stays there for the handler. Negative
// results above; the reason has been written to the logbook.
int ReadRequestHeader(ConnectionContext& connection);

// One logbook record for this connection's client.
void LogConnectionRecord(const ConnectionContext& connection, const char* message, std::string_view header);

// Puts the connection's client on the auto-block list.
void AutoBlockClient(const ConnectionContext& connection);

}  // namespace sarvo
