#include "server/ConnectionThreads.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/FreeMemory.h"
#include "platform/Thread.h"
#include "platform/WinsockError.h"

namespace sarvo {

// The state the threads of one listening socket share; it outlives the server's stop for as long as a
// thread still serves.
struct ConnectionThreads::Shared {
    SocketHandle listener = kInvalidSocket;
    ConnectionHandler handler = nullptr;
    // The threads inside accept, and the stop flag in the top bit: one word, so that no thread can
    // enter after the stop has seen the count fall to zero.
    std::atomic<uint32_t> accepting{0};
};

namespace {

constexpr uint32_t kStopped = 1u << 31;
// More threads than this at once make a burst, whose memory is handed back once it is over.
constexpr size_t kBurstThreads = 64;
// After an accept that failed for another reason than a client that gave up (a want of descriptors
// or memory, most likely), the thread waits this long before the next, so that it does not spin
// while the cause lasts.
constexpr auto kFailedAcceptPause = std::chrono::milliseconds(10);

// Threads alive in the process, and the most alive at once since a burst was last over.
std::atomic<size_t> g_liveThreads{0};
std::atomic<size_t> g_peakThreads{0};
// A thread hands its allocator cache back only after its function has returned, so the memory of a
// burst is handed back this long after the last of its threads has left, when they have all gone.
constexpr auto kBurstSettleTime = std::chrono::milliseconds(200);

bool EnterAccept(std::atomic<uint32_t>& accepting) {
    uint32_t state = accepting.load();
    while (!(state & kStopped)) {
        if (accepting.compare_exchange_weak(state, state + 1))
            return true;
    }
    return false;
}

// The threads still waiting at the socket after this one left.
uint32_t LeaveAccept(std::atomic<uint32_t>& accepting) {
    const uint32_t state = accepting.fetch_sub(1) - 1;
    if (state == kStopped)
        accepting.notify_all();
    return state & ~kStopped;
}

// A client that reset its connection before it was taken costs nothing to the next accept.
bool IsClientGone(int error) {
    return error == -kWsaEConnAborted || error == -kWsaEConnReset;
}

bool StartThread(const std::shared_ptr<ConnectionThreads::Shared>& shared);

// One thread's life: take a connection, serve it, wait for the next; end when the server stops or
// after kIdleConnectionThreadLifetime without a connection while another thread waits.
void AcceptAndServe(const std::shared_ptr<ConnectionThreads::Shared>& shared) {
    while (EnterAccept(shared->accepting)) {
        sockaddr_in peer{};
        const int accepted = Accept(shared->listener, &peer, AcceptedMode::NonBlocking);
        const uint32_t othersWaiting = LeaveAccept(shared->accepting);
        if (accepted < 0) {
            if (accepted == -kWsaEWouldBlock && othersWaiting > 0)
                return;
            if (!IsClientGone(accepted))
                std::this_thread::sleep_for(kFailedAcceptPause);
            continue;
        }
        // Without a thread at the socket, the next client would wait until this connection ends; one
        // that cannot be had costs this connection rather than every later one.
        if (othersWaiting == 0 && !StartThread(shared)) {
            CloseSocket(accepted);
            continue;
        }
        shared->handler(accepted, peer);
    }
}

// Called by each thread as it ends. The last of a burst but one (which stays at the socket) hands the
// burst's memory back, which the allocator's arenas would keep otherwise.
void ThreadEnded() {
    if (g_liveThreads.fetch_sub(1) > 2 || g_peakThreads.exchange(0) <= kBurstThreads)
        return;
    std::this_thread::sleep_for(kBurstSettleTime);
    ReturnFreeMemory();
}

bool StartThread(const std::shared_ptr<ConnectionThreads::Shared>& shared) {
    const size_t live = g_liveThreads.fetch_add(1) + 1;
    for (size_t peak = g_peakThreads.load();
         live > peak && !g_peakThreads.compare_exchange_weak(peak, live);) {
    }
    const bool started = StartDetachedThread(
        [shared] {
            AcceptAndServe(shared);
            ThreadEnded();
        },
        kConnectionThreadStackSize);
    if (!started)
        g_liveThreads.fetch_sub(1);
    return started;
}

}  // namespace

bool ConnectionThreads::Start(SocketHandle listener, ConnectionHandler handler) {
    m_shared = std::make_shared<Shared>();
    m_shared->listener = listener;
    m_shared->handler = handler;
    return StartThread(m_shared);
}

void ConnectionThreads::Stop() {
    if (!m_shared)
        return;
    std::atomic<uint32_t>& accepting = m_shared->accepting;
    accepting.fetch_or(kStopped);
    // Shutting a listening socket down wakes every thread in accept, which then fails at once.
    ShutdownListening(m_shared->listener);
    for (uint32_t state = accepting.load(); state != kStopped; state = accepting.load())
        accepting.wait(state);
    m_shared.reset();
}

}  // namespace sarvo
