#include "server/ConnectionThreads.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/FreeMemory.h"
#include "platform/Thread.h"

namespace sarvo {
namespace {

struct WaitingThreads {
    std::mutex lock;
    std::condition_variable workArrived;
    std::deque<std::function<void()>> pending;
    // Threads inside the wait, including those woken for work they have not taken yet: there is a
    // thread free for new work only while this exceeds the pending work.
    size_t waiting = 0;
    // Threads alive, and the most alive at once since they were last all gone.
    size_t live = 0;
    size_t peak = 0;
};

// More threads than this at once make a burst, whose memory is handed back once they have all ended.
constexpr size_t kBurstThreads = 64;

// Never destroyed: threads are detached and may still be waiting when the program ends.
WaitingThreads& Threads() {
    static WaitingThreads* threads = new WaitingThreads;
    return *threads;
}

void ServeAndWait(std::function<void()> work) {
    WaitingThreads& threads = Threads();
    for (;;) {
        work();
        work = nullptr;  // what the work held is released before the thread waits
        std::unique_lock<std::mutex> hold(threads.lock);
        ++threads.waiting;
        const bool arrived = threads.workArrived.wait_for(hold, kIdleConnectionThreadLifetime,
                                                          [&threads] { return !threads.pending.empty(); });
        --threads.waiting;
        if (!arrived) {
            const bool burstOver = --threads.live == 0 && std::exchange(threads.peak, 0) > kBurstThreads;
            hold.unlock();
            // The ended threads' allocator caches went back to their arenas, which keep them otherwise.
            if (burstOver)
                ReturnFreeMemory();
            return;
        }
        work = std::move(threads.pending.front());
        threads.pending.pop_front();
    }
}

}  // namespace

bool RunOnConnectionThread(std::function<void()> work) {
    WaitingThreads& threads = Threads();
    bool handedOver = false;
    {
        std::lock_guard<std::mutex> hold(threads.lock);
        if (threads.waiting > threads.pending.size()) {
            threads.pending.push_back(std::move(work));
            handedOver = true;
        }
    }
    if (handedOver) {
        // Woken after the lock is released, so that the thread need not wait for it again at once.
        threads.workArrived.notify_one();
        return true;
    }
    {
        std::lock_guard<std::mutex> hold(threads.lock);
        threads.peak = std::max(threads.peak, ++threads.live);
    }
    if (StartDetachedThread([first = std::move(work)]() mutable { ServeAndWait(std::move(first)); },
                            kConnectionThreadStackSize))
        return true;
    std::lock_guard<std::mutex> hold(threads.lock);
    --threads.live;
    return false;
}

}  // namespace sarvo
