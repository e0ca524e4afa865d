#pragma once

#include <chrono>
#include <cstdint>

// One set of descriptors that many threads wait on together: each wait hands one ready descriptor to
// one thread, so a thread that finished its work takes whatever became ready meanwhile without
// sleeping, and a descriptor nobody serves yet needs no thread of its own.
namespace sarvo {

class ReadyQueue {
public:
    // How a descriptor reports readiness.
    enum class Trigger {
        // Whenever it is readable.
        Level,
        // Once per change, e.g. per new connection on a listening socket.
        Edge,
        // Once; a descriptor reported so is not reported again until added anew.
        Once,
    };

    ReadyQueue();
    ~ReadyQueue();
    ReadyQueue(const ReadyQueue&) = delete;
    ReadyQueue& operator=(const ReadyQueue&) = delete;

    bool IsValid() const { return m_descriptor >= 0; }
    // Watches the descriptor for reading; the token comes back from Wait when it is ready. 0 or a
    // negative Winsock-numbered error.
    int Add(int descriptor, uint64_t token, Trigger trigger);
    // Looks at an edge-triggered descriptor again, so that one still readable is reported anew.
    int Recheck(int descriptor, uint64_t token);
    int Remove(int descriptor);
    // 1 with the token of one ready descriptor, 0 when none became ready in time, or a negative
    // Winsock-numbered error. An interrupted wait returns 0.
    int Wait(uint64_t& token, std::chrono::milliseconds timeout);

private:
    int m_descriptor = -1;
};

// A descriptor that becomes readable at a set time, for a ReadyQueue (edge-triggered).
class Alarm {
public:
    Alarm();
    ~Alarm();
    Alarm(const Alarm&) = delete;
    Alarm& operator=(const Alarm&) = delete;

    bool IsValid() const { return m_descriptor >= 0; }
    int Descriptor() const { return m_descriptor; }
    // Rings once at the given time of the steady clock, in place of any earlier setting.
    void Set(std::chrono::steady_clock::time_point when);
    // Takes the ring, so that the descriptor is no longer readable.
    void Acknowledge();

private:
    int m_descriptor = -1;
};

}  // namespace sarvo
