#include "server/SendResponse.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <new>

#include "platform/Socket.h"
#include "platform/WinsockError.h"
#include "server/ClientActivity.h"

namespace sarvo {
namespace {

constexpr int kNoScratchMemory = -1;

class IdleClock {
public:
    explicit IdleClock(int limitMs) : m_limit(limitMs), m_lastProgress(Clock::now()) {}
    void Touch() { m_lastProgress = Clock::now(); }
    bool Expired() const { return Clock::now() - m_lastProgress >= m_limit; }

private:
    using Clock = std::chrono::steady_clock;
    std::chrono::milliseconds m_limit;
    Clock::time_point m_lastProgress;
};

class Progress {
public:
    Progress(SocketHandle socket, ProgressReport report) : m_on(report == ProgressReport::On) {
        m_counter.Bind(socket);
    }
    void Start(uint64_t total) {
        if (m_on)
            m_counter.Start(total);
    }
    void Add(uint64_t n) {
        if (m_on)
            m_counter.Add(n);
    }

private:
    SendProgress m_counter;
    bool m_on;
};

struct SendState {
    ConnectionContext& connection;
    HttpResponse& response;
    Progress& progress;
    IdleClock& idle;
    const SendTiming& timing;
    int result = 0;
};

// Moves up to readLimit bytes of ReadResponse through the send buffer, topping it up by at most one
// block before each send, until the buffer is empty. Returns false when sending failed (the error is
// in state.result).
bool PumpThroughBuffer(SendState& state, char* scratch, size_t blockSize, uint64_t readLimit) {
    ConnectionContext& connection = state.connection;
    for (;;) {
        if (connection.SendFill() < blockSize && readLimit > 0) {
            const size_t wanted = static_cast<size_t>(std::min<uint64_t>(blockSize, readLimit));
            const size_t got = state.response.ReadResponse(scratch, wanted);
            if (got == 0) {
                readLimit = 0;
            } else {
                readLimit -= got;
                const size_t before = connection.SendFill();
                if (connection.QueueSend(scratch, got) != before + got) {
                    state.result = kSocketNoMemory;
                    return false;
                }
            }
        }
        if (connection.SendFill() == 0)
            return true;
        const int sent = connection.SendSome(state.timing.stepMs);
        if (sent > 0) {
            state.result = sent;
            state.idle.Touch();
            state.progress.Add(static_cast<uint64_t>(sent));
            continue;
        }
        if (sent < 0 && sent != -kWsaEWouldBlock) {
            state.result = sent;
            return false;
        }
        if (state.idle.Expired()) {
            state.result = -kWsaETimedOut;
            return false;
        }
    }
}

enum class FileSendEnd { Done, Failed, Unsupported };

FileSendEnd SendFileStretch(SendState& state) {
    FileBodyStretch stretch;
    while (state.response.FileBody(stretch) && stretch.remaining > 0) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(stretch.remaining, kFileSendBlock));
        const int sent = SendFile(state.connection.Handle(), stretch.descriptor, stretch.offset, count);
        if (sent > 0) {
            state.response.SkipFileBody(static_cast<uint64_t>(sent));
            state.result = sent;
            state.idle.Touch();
            state.progress.Add(static_cast<uint64_t>(sent));
            continue;
        }
        // The file ended before the selection did: it shrank while being sent. The client sees a
        // short body and the closed connection.
        if (sent == 0)
            return FileSendEnd::Done;
        // A file system that cannot hand its files to the kernel: the bytes are copied instead.
        if (sent == -kWsaEOpNotSupp)
            return FileSendEnd::Unsupported;
        if (sent != -kWsaEWouldBlock) {
            state.result = sent;
            return FileSendEnd::Failed;
        }
        const int ready = state.connection.WaitReady(state.timing.stepMs, WaitEvent::Writable);
        if (ready < 0) {
            state.result = ready;
            return FileSendEnd::Failed;
        }
        if (state.idle.Expired()) {
            state.result = -kWsaETimedOut;
            return FileSendEnd::Failed;
        }
    }
    return FileSendEnd::Done;
}

}  // namespace

int SendResponse(ConnectionContext& connection, HttpResponse& response, ProgressReport report) {
    return SendResponse(connection, response, report, SendTiming{});
}

int SendResponse(ConnectionContext& connection, HttpResponse& response, ProgressReport report,
                 const SendTiming& timing) {
    const size_t headerLength = response.HeaderLength();
    const size_t blockSize = std::max(headerLength, kSendBlock);
    std::unique_ptr<char[]> scratch(new (std::nothrow) char[blockSize]);
    if (!scratch)
        return kNoScratchMemory;

    Progress progress(connection.Handle(), report);
    IdleClock idle(timing.idleLimitMs);
    SendState state{connection, response, progress, idle, timing};

    const bool head = connection.request.Method() == kMethodHead;
    FileBodyStretch stretch;
    // A file body that fits one block with the header goes out with it in one send; sendfile pays
    // off only for bodies larger than that.
    const bool fileBody = !head && response.HeadersFinished() && response.FileBody(stretch) &&
                          headerLength + stretch.remaining > blockSize;
    progress.Start(head ? headerLength : response.TotalLength());

    // A HEAD answer and a file body take only the header from ReadResponse; the header must be out of
    // the send buffer before sendfile writes to the socket behind its back.
    const uint64_t readLimit = head || fileBody ? headerLength : UINT64_MAX;
    if (!PumpThroughBuffer(state, scratch.get(), blockSize, readLimit))
        return state.result;
    if (!fileBody)
        return state.result;

    switch (SendFileStretch(state)) {
        case FileSendEnd::Done:
        case FileSendEnd::Failed:
            return state.result;
        case FileSendEnd::Unsupported:
            break;
    }
    // The header is out, so ReadResponse now hands out the rest of the body.
    PumpThroughBuffer(state, scratch.get(), blockSize, UINT64_MAX);
    return state.result;
}

}  // namespace sarvo
