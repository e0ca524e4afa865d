#include "server/ConnectionThreads.h"

#include <condition_variable>
#include <deque>
#include <mutex>

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
};

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
        if (!arrived)
            return;
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
    return StartDetachedThread([first = std::move(work)]() mutable { ServeAndWait(std::move(first)); },
                               kConnectionThreadStackSize);
}

}  // namespace sarvo
