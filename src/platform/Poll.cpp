#include "platform/Poll.h"

#include <errno.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

#include "platform/WinsockError.h"

namespace sarvo {

int PollDescriptors(std::span<pollfd> entries, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int remaining = timeoutMs;
    for (;;) {
        int result = ::poll(entries.data(), entries.size(), remaining);
        if (result >= 0)
            return result;
        if (errno != EINTR)
            return SocketErrorFromErrno(errno);
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            remaining = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
    }
}

WakeSignal::WakeSignal() : m_descriptor(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeSignal::~WakeSignal() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

void WakeSignal::Raise() {
    const uint64_t one = 1;
    // A full counter (never reached in practice) is still readable, which is all a wake needs.
    [[maybe_unused]] ssize_t written = ::write(m_descriptor, &one, sizeof one);
}

void WakeSignal::Clear() {
    uint64_t count = 0;
    [[maybe_unused]] ssize_t taken = ::read(m_descriptor, &count, sizeof count);
}

}  // namespace sarvo
