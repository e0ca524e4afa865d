#include "server/StreamSender.h"

#include "platform/WinsockError.h"
#include "server/ClientActivity.h"
#include "server/ConnectionContext.h"
#include "server/SendResponse.h"

namespace sarvo {

StreamSender::StreamSender(ConnectionContext& connection, SendProgress& progress, int stepMs)
    : m_connection(connection), m_progress(progress), m_stepMs(stepMs), m_lastProgress(Clock::now()) {}

int StreamSender::Step() {
    if (m_connection.SendFill() == 0)
        return 0;
    const int sent = m_connection.SendSome(m_stepMs);
    if (sent > 0) {
        m_progress.Add(static_cast<uint64_t>(sent));
        m_lastProgress = Clock::now();
        return 0;
    }
    if (sent < 0 && sent != -kWsaEWouldBlock)
        return sent;
    if (Clock::now() - m_lastProgress > std::chrono::milliseconds(kSendIdleLimitMs))
        return -kWsaETimedOut;
    return 0;
}

int StreamSender::Drain() {
    while (m_connection.SendFill() > 0) {
        if (int result = Step(); result < 0)
            return result;
    }
    return 0;
}

int SendStreamHead(ConnectionContext& connection, std::string_view head) {
    SendProgress progress;
    progress.Bind(connection.Handle());
    progress.Start(head.size());
    connection.ClearSend();
    connection.QueueSendText(head);
    StreamSender sender(connection, progress, kSendStepMs);
    return sender.Drain();
}

}  // namespace sarvo
