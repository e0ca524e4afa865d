#pragma once

#include <cstddef>

#include "server/ConnectionContext.h"
#include "server/HttpResponse.h"

namespace sarvo {

enum class ProgressReport { Off, On };

// One wait for the client to take more bytes; a wait that times out is simply repeated.
inline constexpr int kSendStepMs = 3000;
// A client that takes no byte for this long while an answer is sent is given up (-kWsaETimedOut),
// so that a stalled reader does not hold a connection thread and an open file for ever.
inline constexpr int kSendIdleLimitMs = 60'000;
// The most the send buffer is topped up with at a time (or the header length when it is larger).
inline constexpr size_t kSendBlock = 8192;
// The most one sendfile call is asked for, so progress is posted at least once per this many bytes.
inline constexpr size_t kFileSendBlock = 1024 * 1024;

struct SendTiming {
    int stepMs = kSendStepMs;
    int idleLimitMs = kSendIdleLimitMs;
};

// Sends a finished response on the connection: for HEAD the header alone, otherwise header and body.
// A body that is a stretch of an open file goes from the file to the socket in the kernel, after the
// header has left the send buffer; any other body passes through the send buffer one block at a time.
// With ProgressReport::On the connection's client record follows the bytes sent. Returns the result of
// the last send step (0 or a count on success; 0 also when the response was never finished and
// nothing was sent), or a negative Winsock-numbered error, -1 when no scratch memory was to be had.
int SendResponse(ConnectionContext& connection, HttpResponse& response, ProgressReport report);
int SendResponse(ConnectionContext& connection, HttpResponse& response, ProgressReport report,
                 const SendTiming& timing);

}  // namespace sarvo
