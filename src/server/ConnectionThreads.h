#pragma once

#include <netinet/in.h>

#include <chrono>
#include <memory>

#include "platform/Socket.h"

// The threads that serve connections. Each takes a connection from the listening socket itself,
// serves it for its whole life and then waits at the socket for the next one. A thread that takes a
// connection while no other waits at the socket starts a new one first, so no connection ever waits
// for a thread that another holds. Creating and ending a thread, or handing a connection from one
// thread to another, costs more than answering a small request; this way a busy server takes its
// next connection without either.
namespace sarvo {

// A thread that has waited this long without a connection ends, unless it is the last one waiting.
inline constexpr auto kIdleConnectionThreadLifetime = std::chrono::seconds(10);

// What a thread does with each connection it accepted: the socket is non-blocking and the handler
// owns it.
using ConnectionHandler = void (*)(SocketHandle accepted, const sockaddr_in& peer);

class ConnectionThreads {
public:
    // Starts the first thread at the listening socket, which must be blocking; false when it could
    // not be started.
    bool Start(SocketHandle listener, ConnectionHandler handler);
    // Makes every waiting thread leave the socket and returns once none is left there; the socket may
    // then be closed. Threads serving a connection finish it and end. Connections not yet taken are
    // refused.
    void Stop();

    // What the threads of one listening socket share.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};

}  // namespace sarvo
