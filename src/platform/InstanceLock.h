#pragma once

#include <string>

namespace sarvo {

// An exclusive lock on a file, held by this process until the object goes. The system releases it
// when the process ends in any way, so a copy that crashed never leaves a lock behind.
class InstanceLock {
public:
    enum class Result {
        Acquired,       // this process holds the lock (also when it already did)
        HeldElsewhere,  // another process holds it
        Unavailable,    // the file cannot be opened (no permission, a symbolic link, no folder)
    };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Creates the file when missing (readable by the owner only). Does not wait.
    Result TryAcquire(const std::string& path);
    bool IsHeld() const { return m_descriptor >= 0; }

private:
    int m_descriptor = -1;
};

}  // namespace sarvo
