#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace sarvo {

InstanceLock::~InstanceLock() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

InstanceLock::Result InstanceLock::TryAcquire(const std::string& path) {
    if (m_descriptor >= 0)
        return Result::Acquired;
    // O_NOFOLLOW: in a shared temporary folder a link planted by someone else must not be followed.
    int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0)
        return Result::Unavailable;
    int result;
    do {
        result = ::flock(descriptor, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        bool held = errno == EWOULDBLOCK;
        ::close(descriptor);
        return held ? Result::HeldElsewhere : Result::Unavailable;
    }
    m_descriptor = descriptor;
    return Result::Acquired;
}

}  // namespace sarvo
