#include "platform/ReadyQueue.h"

#include <errno.h>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include "platform/WinsockError.h"

namespace sarvo {
namespace {

uint32_t EventsFor(ReadyQueue::Trigger trigger) {
    switch (trigger) {
        case ReadyQueue::Trigger::Level:
            return EPOLLIN;
        case ReadyQueue::Trigger::Edge:
            return EPOLLIN | EPOLLET;
        case ReadyQueue::Trigger::Once:
            return EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
    }
    return EPOLLIN;
}

int Control(int queue, int operation, int descriptor, uint64_t token, uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = token;
    if (::epoll_ctl(queue, operation, descriptor, &event) != 0)
        return SocketErrorFromErrno(errno);
    return 0;
}

}  // namespace

ReadyQueue::ReadyQueue() : m_descriptor(::epoll_create1(EPOLL_CLOEXEC)) {}

ReadyQueue::~ReadyQueue() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

int ReadyQueue::Add(int descriptor, uint64_t token, Trigger trigger) {
    return Control(m_descriptor, EPOLL_CTL_ADD, descriptor, token, EventsFor(trigger));
}

int ReadyQueue::Recheck(int descriptor, uint64_t token) {
    return Control(m_descriptor, EPOLL_CTL_MOD, descriptor, token, EventsFor(Trigger::Edge));
}

int ReadyQueue::Remove(int descriptor) {
    return Control(m_descriptor, EPOLL_CTL_DEL, descriptor, 0, 0);
}

int ReadyQueue::Wait(uint64_t& token, std::chrono::milliseconds timeout) {
    epoll_event event{};
    const int ready = ::epoll_wait(m_descriptor, &event, 1, static_cast<int>(timeout.count()));
    if (ready < 0)
        return errno == EINTR ? 0 : SocketErrorFromErrno(errno);
    if (ready == 0)
        return 0;
    token = event.data.u64;
    return 1;
}

Alarm::Alarm() : m_descriptor(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK)) {}

Alarm::~Alarm() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

void Alarm::Set(std::chrono::steady_clock::time_point when) {
    // The steady clock is CLOCK_MONOTONIC on Linux; a time already past rings at once (0 would disarm).
    const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
    const long long at = since > 0 ? since : 1;
    itimerspec setting{};
    setting.it_value.tv_sec = static_cast<time_t>(at / 1'000'000'000);
    setting.it_value.tv_nsec = static_cast<long>(at % 1'000'000'000);
    ::timerfd_settime(m_descriptor, TFD_TIMER_ABSTIME, &setting, nullptr);
}

void Alarm::Acknowledge() {
    uint64_t rings = 0;
    [[maybe_unused]] ssize_t taken = ::read(m_descriptor, &rings, sizeof rings);
}

}  // namespace sarvo
