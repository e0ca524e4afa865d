#pragma once

#include <poll.h>

#include <span>

// A wait on many descriptors at once for a thread that serves them all itself. Unlike WaitForSockets
// it takes any descriptor (a wake signal beside the sockets) and checks none of them first, so a wait
// over hundreds of sockets costs one system call.
namespace sarvo {

// poll() over the entries; an interrupted wait is resumed with the time that is left. Returns the
// number of entries with events, 0 on timeout, or a negative Winsock-numbered error.
int PollDescriptors(std::span<pollfd> entries, int timeoutMs);

// A descriptor another thread makes readable to end a wait in PollDescriptors.
class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    bool IsValid() const { return m_descriptor >= 0; }
    int Descriptor() const { return m_descriptor; }
    // Safe from any thread; raising twice before a clear wakes once.
    void Raise();
    // Makes the descriptor unreadable again; called by the waiting thread before it looks for work.
    void Clear();

private:
    int m_descriptor = -1;
};

}  // namespace sarvo
