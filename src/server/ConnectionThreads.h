#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/Socket.h"

// The threads that serve connections. They wait together on the listening socket and on the admitted
// connections whose first bytes have not come yet; a thread takes whichever is ready, and serves a
// connection from its first bytes for its whole life. A thread that takes a connection to serve while
// no other waits calls one to the queue first (one waiting off the queue, or a new one), so no
// connection ever waits for a thread that another holds. Creating and ending a thread, or sleeping
// until one connection's request arrives, costs more than answering a small request; this way a busy
// server goes from one connection to the next with few of either.
namespace sarvo {

// A thread that has waited this long without work ends, unless it is the last one waiting.
inline constexpr auto kIdleConnectionThreadLifetime = std::chrono::seconds(10);

// A connection taken from the listening socket; the socket is non-blocking.
struct Arrival {
    SocketHandle socket = kInvalidSocket;
    sockaddr_in peer{};
    std::chrono::steady_clock::time_point acceptedAt;
    // What admission noted for the later steps.
    uint32_t admission = 0;
};

struct ConnectionHandlers {
    // Decides at once, before a byte is read, whether the connection may stay; the threads close a
    // refused one.
    bool (*admit)(Arrival& arrival);
    // Serves an admitted connection for its whole life and closes it.
    void (*serve)(const Arrival& arrival);
    // Closes an admitted connection that could not be given a thread.
    void (*dismiss)(const Arrival& arrival);
};

class ConnectionThreads {
public:
    // Makes the listening socket non-blocking and starts the first thread; false when it could not
    // be started. An admitted connection still without bytes after firstBytesWait gets a thread of
    // its own, which serves (or times it out) as any other.
    bool Start(SocketHandle listener, ConnectionHandlers handlers, std::chrono::milliseconds firstBytesWait);
    // Makes every waiting thread leave and returns once none is left at the listening socket; it may
    // then be closed. Connections not yet taken are refused; admitted ones are served to their end.
    void Stop();

    // What the threads of one listening socket share.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};

}  // namespace sarvo
