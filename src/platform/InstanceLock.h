#pragma once

#include <string>

namespace sarvo {

// An exclusive lock on a file, held by this process until the object goes. The system releases it
// when the process ends in any way, so a copy that crashed never leaves a lock behind.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Creates the file when missing (readable by the owner only); false when another process holds
    // the lock or the file cannot be opened. Does not wait.
    bool TryAcquire(const std::string& path);
    bool IsHeld() const { return m_descriptor >= 0; }

private:
    int m_descriptor = -1;
};

}  // namespace sarvo
