#include "server/ConnectionThreads.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <semaphore>
#include <thread>
#include <vector>

#include "platform/FreeMemory.h"
#include "platform/Poll.h"
#include "platform/ReadyQueue.h"
#include "platform/Thread.h"
#include "platform/WinsockError.h"

namespace sarvo {
namespace {

using Clock = std::chrono::steady_clock;

// The queue's tokens: its three fixed descriptors, then one per connection waiting for its bytes.
constexpr uint64_t kListenerToken = 0;
constexpr uint64_t kStopToken = 1;
constexpr uint64_t kAlarmToken = 2;
constexpr uint64_t kFirstConnectionToken = 3;

// Where a thread waits off the queue; each thread has its own for its whole life. A semaphore
// rather than a condition variable: its wait yields a few times before it sleeps, so a thread called
// meanwhile does not sleep at all; under load that measured clearly faster.
struct BenchSeat {
    std::binary_semaphore call{0};
};

}  // namespace

// The state the threads of one listening socket share; it outlives the server's stop for as long as a
// thread still serves.
struct ConnectionThreads::Shared {
    SocketHandle listener = kInvalidSocket;
    ConnectionHandlers handlers{};
    std::chrono::milliseconds firstBytesWait{};
    ReadyQueue ready;
    // Raised once by the stop and readable from then on.
    WakeSignal stopSignal;
    // Rings when the connection that came first among those waiting for their bytes has waited long.
    Alarm alarm;
    // The threads at the queue (waiting in it, or taking what it reported), and the stop flag in the
    // top bit: one word, so that no thread can come to the queue after the stop saw the count at zero.
    std::atomic<uint32_t> threadsAtQueue{0};

    // Threads beyond kThreadsAtQueue, waiting to be called there; the one that sat down last is
    // called first, so that few threads take turns and the rest end.
    std::mutex benchLock;
    std::vector<BenchSeat*> bench;

    std::mutex lock;  // guards what follows
    // Admitted connections whose first bytes have not come yet, by token: the order they came in.
    std::map<uint64_t, Arrival> awaitingBytes;
    uint64_t nextToken = kFirstConnectionToken;
    bool alarmSet = false;
};

namespace {

using Shared = ConnectionThreads::Shared;

constexpr uint32_t kStopped = 1u << 31;
// Each thread waiting at the queue is woken for a new event, and one that is woken only to hand a
// connection on and sleep again costs more than the connection's request. With two, one is usually
// still there when the other leaves to serve, and events that come while both are busy wait for
// the first to come back, which takes them without sleeping; with one, every connection served
// would call another thread to the queue.
constexpr uint32_t kThreadsAtQueue = 2;
// More threads than this at once make a burst, whose memory is handed back once it is over.
constexpr size_t kBurstThreads = 64;
// After an accept or a wait that failed for another reason than a client that gave up (a want of
// descriptors or memory, most likely), the thread waits this long before the next, so that it does
// not spin while the cause lasts.
constexpr auto kFailurePause = std::chrono::milliseconds(10);

// Threads alive in the process, and the most alive at once since a burst was last over.
std::atomic<size_t> g_liveThreads{0};
std::atomic<size_t> g_peakThreads{0};
// A thread hands its allocator cache back only after its function has returned, so the memory of a
// burst is handed back this long after the last of its threads has left, when they have all gone.
constexpr auto kBurstSettleTime = std::chrono::milliseconds(200);

bool EnterQueue(std::atomic<uint32_t>& threadsAtQueue) {
    uint32_t state = threadsAtQueue.load();
    while (!(state & kStopped)) {
        if (threadsAtQueue.compare_exchange_weak(state, state + 1))
            return true;
    }
    return false;
}

// The threads still at the queue after this one left.
uint32_t LeaveQueue(std::atomic<uint32_t>& threadsAtQueue) {
    const uint32_t state = threadsAtQueue.fetch_sub(1) - 1;
    if (state == kStopped)
        threadsAtQueue.notify_all();
    return state & ~kStopped;
}

bool IsStopped(const Shared& shared) {
    return shared.threadsAtQueue.load() & kStopped;
}

// A client that reset its connection before it was taken costs nothing to the next accept.
bool IsClientGone(int error) {
    return error == -kWsaEConnAborted || error == -kWsaEConnReset;
}

// Puts an admitted connection into the queue until its first bytes come; false when the queue would
// not take it.
bool AwaitBytes(Shared& shared, const Arrival& arrival) {
    uint64_t token = 0;
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        token = shared.nextToken++;
        shared.awaitingBytes.emplace(token, arrival);
        if (!shared.alarmSet) {
            shared.alarm.Set(arrival.acceptedAt + shared.firstBytesWait);
            shared.alarmSet = true;
        }
    }
    // Added only once it can be found, as its bytes may already be there.
    if (shared.ready.Add(arrival.socket, token, ReadyQueue::Trigger::Once) == 0)
        return true;
    std::lock_guard<std::mutex> hold(shared.lock);
    shared.awaitingBytes.erase(token);
    return false;
}

// The connection whose bytes came, unless the alarm gave it a thread already.
std::optional<Arrival> TakeAwaiting(Shared& shared, uint64_t token) {
    std::lock_guard<std::mutex> hold(shared.lock);
    auto found = shared.awaitingBytes.find(token);
    if (found == shared.awaitingBytes.end())
        return std::nullopt;
    Arrival arrival = found->second;
    shared.awaitingBytes.erase(found);
    return arrival;
}

// The connections that waited too long for their first bytes, no longer in the queue; the alarm is
// set for the next.
std::vector<Arrival> TakeOverdue(Shared& shared) {
    shared.alarm.Acknowledge();
    std::vector<Arrival> overdue;
    {
        const auto now = Clock::now();
        std::lock_guard<std::mutex> hold(shared.lock);
        auto next = shared.awaitingBytes.begin();
        for (; next != shared.awaitingBytes.end() && next->second.acceptedAt + shared.firstBytesWait <= now;
             next = shared.awaitingBytes.erase(next))
            overdue.push_back(next->second);
        shared.alarmSet = next != shared.awaitingBytes.end();
        if (shared.alarmSet)
            shared.alarm.Set(next->second.acceptedAt + shared.firstBytesWait);
    }
    for (const Arrival& arrival : overdue)
        shared.ready.Remove(arrival.socket);
    return overdue;
}

// Takes the connections waiting at the listening socket: a refused one is closed, an admitted one
// waits in the queue for its bytes. Returns one the queue would not take, for this thread to serve.
std::optional<Arrival> TakeNewConnections(Shared& shared) {
    for (;;) {
        if (IsStopped(shared))
            return std::nullopt;
        Arrival arrival;
        const int accepted = Accept(shared.listener, &arrival.peer, AcceptedMode::NonBlocking);
        if (accepted == -kWsaEWouldBlock)
            return std::nullopt;
        if (accepted < 0) {
            if (IsClientGone(accepted))
                continue;
            if (IsStopped(shared))
                return std::nullopt;
            // The listening socket reports only new connections; the ones left behind are looked at
            // again after a pause.
            std::this_thread::sleep_for(kFailurePause);
            shared.ready.Recheck(shared.listener, kListenerToken);
            return std::nullopt;
        }
        arrival.socket = accepted;
        arrival.acceptedAt = Clock::now();
        if (!shared.handlers.admit(arrival)) {
            CloseSocket(accepted);
            continue;
        }
        if (!AwaitBytes(shared, arrival)) {
            shared.ready.Recheck(shared.listener, kListenerToken);
            return arrival;
        }
    }
}

bool StartThread(const std::shared_ptr<Shared>& shared, std::optional<Arrival> first);

// Serves the connection on a thread of its own, or closes it when there is none to be had.
void ServeOnNewThread(const std::shared_ptr<Shared>& shared, const Arrival& arrival) {
    if (!StartThread(shared, arrival))
        shared->handlers.dismiss(arrival);
}

thread_local BenchSeat t_seat;

// Waits off the queue until a thread there leaves to serve; false when none called in time or the
// server stopped.
bool WaitOnBench(Shared& shared) {
    {
        std::lock_guard<std::mutex> hold(shared.benchLock);
        if (IsStopped(shared))
            return false;
        shared.bench.push_back(&t_seat);
    }
    if (t_seat.call.try_acquire_for(kIdleConnectionThreadLifetime))
        return true;
    {
        std::lock_guard<std::mutex> hold(shared.benchLock);
        auto seat = std::find(shared.bench.begin(), shared.bench.end(), &t_seat);
        if (seat != shared.bench.end()) {
            shared.bench.erase(seat);
            return false;
        }
    }
    // Called just as the wait ended: the call is on its way.
    t_seat.call.acquire();
    return true;
}

// Brings a thread to the queue: the last one to sit on the bench, or a new one.
bool CallToQueue(const std::shared_ptr<Shared>& shared) {
    BenchSeat* seat = nullptr;
    {
        std::lock_guard<std::mutex> hold(shared->benchLock);
        if (!shared->bench.empty()) {
            seat = shared->bench.back();
            shared->bench.pop_back();
        }
    }
    if (!seat)
        return StartThread(shared, std::nullopt);
    seat->call.release();
    return true;
}

// One thread's life: take what the queue reports, serve a connection whose bytes came, wait again;
// end when the server stops or after kIdleConnectionThreadLifetime without work while another thread
// waits.
void WaitAndServe(const std::shared_ptr<Shared>& shared) {
    for (;;) {
        if ((shared->threadsAtQueue.load() & ~kStopped) >= kThreadsAtQueue && !WaitOnBench(*shared))
            return;
        if (!EnterQueue(shared->threadsAtQueue))
            return;
        uint64_t token = 0;
        const int ready = shared->ready.Wait(token, kIdleConnectionThreadLifetime);
        std::optional<Arrival> taken;
        std::vector<Arrival> overdue;
        if (ready > 0 && token == kListenerToken)
            taken = TakeNewConnections(*shared);
        else if (ready > 0 && token == kAlarmToken)
            overdue = TakeOverdue(*shared);
        else if (ready > 0 && token >= kFirstConnectionToken)
            taken = TakeAwaiting(*shared, token);
        else if (ready > 0 && token == kStopToken)
            shared->stopSignal.Raise();  // wakes the next waiting thread, which ends too
        const uint32_t othersAtQueue = LeaveQueue(shared->threadsAtQueue);
        if (ready == 0 && othersAtQueue > 0)
            return;
        if (ready < 0)
            std::this_thread::sleep_for(kFailurePause);
        if (!overdue.empty()) {
            taken = overdue.back();
            overdue.pop_back();
            for (const Arrival& arrival : overdue)
                ServeOnNewThread(shared, arrival);
        }
        if (!taken)
            continue;
        // Without a thread at the queue, the next client would wait until this connection ends; one
        // that cannot be had costs this connection rather than every later one.
        if (othersAtQueue == 0 && !CallToQueue(shared)) {
            shared->handlers.dismiss(*taken);
            continue;
        }
        shared->handlers.serve(*taken);
    }
}

// Called by each thread as it ends. The last of a burst but one (which stays at the queue) hands the
// burst's memory back, which the allocator's arenas would keep otherwise.
void ThreadEnded() {
    if (g_liveThreads.fetch_sub(1) > 2 || g_peakThreads.exchange(0) <= kBurstThreads)
        return;
    std::this_thread::sleep_for(kBurstSettleTime);
    ReturnFreeMemory();
}

bool StartThread(const std::shared_ptr<Shared>& shared, std::optional<Arrival> first) {
    const size_t live = g_liveThreads.fetch_add(1) + 1;
    for (size_t peak = g_peakThreads.load();
         live > peak && !g_peakThreads.compare_exchange_weak(peak, live);) {
    }
    const bool started = StartDetachedThread(
        [shared, first] {
            if (first)
                shared->handlers.serve(*first);
            WaitAndServe(shared);
            ThreadEnded();
        },
        kConnectionThreadStackSize);
    if (!started)
        g_liveThreads.fetch_sub(1);
    return started;
}

}  // namespace

bool ConnectionThreads::Start(SocketHandle listener, ConnectionHandlers handlers,
                              std::chrono::milliseconds firstBytesWait) {
    m_shared = std::make_shared<Shared>();
    Shared& shared = *m_shared;
    shared.listener = listener;
    shared.handlers = handlers;
    shared.firstBytesWait = firstBytesWait;
    // The stop stays readable, so that each waiting thread sees it; a new connection or the alarm is
    // reported to one thread.
    const bool ready =
        shared.ready.IsValid() && shared.stopSignal.IsValid() && shared.alarm.IsValid() &&
        SetNonBlocking(listener, true) == 0 &&
        shared.ready.Add(listener, kListenerToken, ReadyQueue::Trigger::Edge) == 0 &&
        shared.ready.Add(shared.stopSignal.Descriptor(), kStopToken, ReadyQueue::Trigger::Level) == 0 &&
        shared.ready.Add(shared.alarm.Descriptor(), kAlarmToken, ReadyQueue::Trigger::Edge) == 0;
    if (!ready || !StartThread(m_shared, std::nullopt)) {
        m_shared.reset();
        return false;
    }
    return true;
}

void ConnectionThreads::Stop() {
    if (!m_shared)
        return;
    std::atomic<uint32_t>& threadsAtQueue = m_shared->threadsAtQueue;
    threadsAtQueue.fetch_or(kStopped);
    m_shared->stopSignal.Raise();
    // Connections not yet taken are refused now rather than when the socket is closed.
    ShutdownListening(m_shared->listener);
    // Threads off the queue end too.
    std::vector<BenchSeat*> bench;
    {
        std::lock_guard<std::mutex> hold(m_shared->benchLock);
        bench.swap(m_shared->bench);
    }
    for (BenchSeat* seat : bench)
        seat->call.release();
    for (uint32_t state = threadsAtQueue.load(); state != kStopped; state = threadsAtQueue.load())
        threadsAtQueue.wait(state);
    // Connections admitted before the stop are served to their end, each on its own thread.
    std::map<uint64_t, Arrival> awaiting;
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        awaiting.swap(m_shared->awaitingBytes);
    }
    for (const auto& [token, arrival] : awaiting)
        ServeOnNewThread(m_shared, arrival);
    m_shared.reset();
}

}  // namespace sarvo
