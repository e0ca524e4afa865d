#pragma once

#include <chrono>
#include <string_view>

// Sending for the streams of unknown length (a Zip download, a real-time file), which queue chunks
// on the connection themselves rather than compose one response.
namespace sarvo {

class ConnectionContext;
class SendProgress;

// Sends what the connection has queued, one bounded wait at a time, and counts the progress. A client
// that takes no byte for kSendIdleLimitMs is given up, as the ordinary answers give it up, so that a
// stalled reader does not hold a thread and an open file for ever.
class StreamSender {
public:
    StreamSender(ConnectionContext& connection, SendProgress& progress, int stepMs);

    // One send; 0 to go on, or the error that ends the stream.
    int Step();
    // Sends until nothing is left; 0, or the error that ended it.
    int Drain();

private:
    using Clock = std::chrono::steady_clock;

    ConnectionContext& m_connection;
    SendProgress& m_progress;
    int m_stepMs;
    Clock::time_point m_lastProgress;
};

// The answer to HEAD of a stream: the stream's header alone, sent with progress, and no work started
// for the body (RFC 9110 lets a HEAD answer leave out what only the body would tell). 0, or the error
// that ended the send.
int SendStreamHead(ConnectionContext& connection, std::string_view head);

}  // namespace sarvo
