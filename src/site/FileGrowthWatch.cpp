#include "site/FileGrowthWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/Thread.h"

namespace sarvo {
namespace {

// Every way a file's content or identity can change: writes, truncation (which also changes the
// size), the end of a writer's session, and the file being moved or deleted.
constexpr uint32_t kWatchedEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVE_SELF | IN_DELETE_SELF;
constexpr size_t kReaderStackSize = 64 * 1024;
constexpr size_t kEventBufferSize = 16 * 1024;

// The process's one inotify instance. Watches of the same file share the kernel's watch descriptor,
// so each descriptor keeps the list of wake-up descriptors of the streams that wait on it.
class GrowthHub {
public:
    // Never destroyed: the reader thread runs until the process ends and must not outlive the hub.
    static GrowthHub& Instance() {
        static GrowthHub* hub = new GrowthHub();
        return *hub;
    }

    int Subscribe(const std::string& path, int wakeDescriptor) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!Start())
            return -1;
        int watch = ::inotify_add_watch(m_inotify, path.c_str(), kWatchedEvents);
        if (watch < 0)
            return -1;
        m_waiters[watch].push_back(wakeDescriptor);
        return watch;
    }

    void Unsubscribe(int watch, int wakeDescriptor) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_waiters.find(watch);
        // Gone already when the kernel dropped the watch (the file was deleted).
        if (found == m_waiters.end())
            return;
        std::vector<int>& waiters = found->second;
        waiters.erase(std::remove(waiters.begin(), waiters.end(), wakeDescriptor), waiters.end());
        if (waiters.empty()) {
            ::inotify_rm_watch(m_inotify, watch);
            m_waiters.erase(found);
        }
    }

private:
    GrowthHub() = default;

    // Called with the lock held. A failure is retried by the next stream.
    bool Start() {
        if (m_running)
            return true;
        if (m_inotify < 0)
            m_inotify = ::inotify_init1(IN_CLOEXEC);
        if (m_inotify < 0)
            return false;
        m_running = StartDetachedThread([this] { ReadEvents(); }, kReaderStackSize);
        return m_running;
    }

    void ReadEvents() {
        alignas(inotify_event) char buffer[kEventBufferSize];
        for (;;) {
            ssize_t got = ::read(m_inotify, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return;
            std::lock_guard<std::mutex> lock(m_mutex);
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                auto found = m_waiters.find(event->wd);
                if (found == m_waiters.end())
                    continue;
                for (int waiter : found->second)
                    Signal(waiter);
                // The kernel has dropped the watch; its number is not ours to remove any more.
                if (event->mask & IN_IGNORED)
                    m_waiters.erase(found);
            }
        }
    }

    static void Signal(int wakeDescriptor) {
        const uint64_t one = 1;
        // A full counter already means "wake up"; nothing is lost when this write fails.
        [[maybe_unused]] ssize_t written = ::write(wakeDescriptor, &one, sizeof one);
    }

    std::mutex m_mutex;
    int m_inotify = -1;
    bool m_running = false;
    std::unordered_map<int, std::vector<int>> m_waiters;
};

}  // namespace

FileGrowthWatch::FileGrowthWatch(const std::string& path) {
    m_wakeDescriptor = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeDescriptor >= 0)
        m_watch = GrowthHub::Instance().Subscribe(path, m_wakeDescriptor);
}

FileGrowthWatch::~FileGrowthWatch() {
    if (m_watch >= 0)
        GrowthHub::Instance().Unsubscribe(m_watch, m_wakeDescriptor);
    if (m_wakeDescriptor >= 0)
        ::close(m_wakeDescriptor);
}

FileGrowthWatch::Wake FileGrowthWatch::Wait(SocketHandle peer, int timeoutMs) {
    pollfd waits[2] = {};
    waits[0].fd = peer;
    // Only a hang-up is asked for: bytes a client sends after its request are no reason to wake.
    waits[0].events = POLLRDHUP;
    waits[1].fd = IsWatching() ? m_wakeDescriptor : -1;
    waits[1].events = POLLIN;
    const int wait = IsWatching() ? timeoutMs : std::min(timeoutMs, kGrowthFallbackPollMs);
    int ready = ::poll(waits, 2, wait);
    if (ready < 0) {
        // A wait that fails for another reason than a signal would fail again at once; pausing keeps
        // the stream from spinning while it still looks at its file now and then.
        if (errno != EINTR)
            ::poll(nullptr, 0, kGrowthFallbackPollMs);
        return Wake::FileMayHaveChanged;
    }
    if (waits[0].revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))
        return Wake::PeerGone;
    if (waits[1].revents & POLLIN) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t taken = ::read(m_wakeDescriptor, &count, sizeof count);
        return Wake::FileMayHaveChanged;
    }
    if (!IsWatching() && wait < timeoutMs)
        return Wake::FileMayHaveChanged;
    return ready == 0 ? Wake::TimedOut : Wake::FileMayHaveChanged;
}

}  // namespace sarvo
