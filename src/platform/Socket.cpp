#include "platform/Socket.h"

#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <vector>

#include "platform/WinsockError.h"

namespace sarvo {
namespace {

bool IsNoSocket(SocketHandle socket) {
    return socket < 0;
}

constexpr int kNoSocket = -kWsaENotSock;

int ClampLength(size_t length) {
    return length > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = address;
    result.sin_port = htons(port);
    return result;
}

// fcntl and poll accept any descriptor, so the calls built on them ask what the descriptor is first:
// a pipe or a file must give -kWsaENotSock there too, as every socket call does.
int CheckIsSocket(SocketHandle socket) {
    if (IsNoSocket(socket))
        return kNoSocket;
    struct stat info {};
    if (::fstat(socket, &info) != 0)
        return LastSocketError();
    return S_ISSOCK(info.st_mode) ? 0 : kNoSocket;
}

int SetIntOption(SocketHandle socket, int level, int name, int value) {
    if (IsNoSocket(socket))
        return kNoSocket;
    if (::setsockopt(socket, level, name, &value, sizeof value) != 0)
        return LastSocketError();
    return 0;
}

// A connect interrupted by a signal goes on in the background; waiting for it keeps the blocking
// call's meaning (it returns when the connection is made or has failed).
int FinishInterruptedConnect(SocketHandle socket) {
    int waited = WaitWritable(socket, -1);
    if (waited < 0)
        return waited;
    return GetSocketError(socket);
}

short PollEventsFor(WaitEvent event) {
    return event == WaitEvent::Readable ? POLLIN : POLLOUT;
}

}  // namespace

int CreateTcpSocket() {
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return socket < 0 ? LastSocketError() : socket;
}

int SetReuseAddress(SocketHandle socket) {
    return SetIntOption(socket, SOL_SOCKET, SO_REUSEADDR, 1);
}

int Bind(SocketHandle socket, uint32_t address, uint16_t port) {
    if (IsNoSocket(socket))
        return kNoSocket;
    sockaddr_in local = MakeAddress(address, port);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return LastSocketError();
    return 0;
}

int Listen(SocketHandle socket, int backlog) {
    if (IsNoSocket(socket))
        return kNoSocket;
    if (::listen(socket, backlog) != 0)
        return LastSocketError();
    return 0;
}

int Accept(SocketHandle socket, sockaddr_in* peer, AcceptedMode mode) {
    if (IsNoSocket(socket))
        return kNoSocket;
    const int flags = SOCK_CLOEXEC | (mode == AcceptedMode::NonBlocking ? SOCK_NONBLOCK : 0);
    sockaddr_in address{};
    for (;;) {
        socklen_t length = sizeof address;
        int accepted = ::accept4(socket, reinterpret_cast<sockaddr*>(&address), &length, flags);
        if (accepted >= 0) {
            if (peer)
                *peer = address;
            return accepted;
        }
        if (errno != EINTR)
            return LastSocketError();
    }
}

int Connect(SocketHandle socket, uint32_t address, uint16_t port) {
    if (IsNoSocket(socket))
        return kNoSocket;
    sockaddr_in remote = MakeAddress(address, port);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0)
        return 0;
    if (errno == EINTR)
        return FinishInterruptedConnect(socket);
    // Winsock reports a non-blocking connect under way as "would block", not "in progress".
    if (errno == EINPROGRESS)
        return -kWsaEWouldBlock;
    return LastSocketError();
}

int Recv(SocketHandle socket, void* buffer, size_t length, RecvMode mode) {
    if (IsNoSocket(socket))
        return kNoSocket;
    int flags = mode == RecvMode::Peek ? MSG_PEEK : 0;
    for (;;) {
        ssize_t received = ::recv(socket, buffer, static_cast<size_t>(ClampLength(length)), flags);
        if (received >= 0)
            return static_cast<int>(received);
        if (errno != EINTR)
            return LastSocketError();
    }
}

int Send(SocketHandle socket, const void* data, size_t length) {
    if (IsNoSocket(socket))
        return kNoSocket;
    for (;;) {
        ssize_t sent = ::send(socket, data, static_cast<size_t>(ClampLength(length)), MSG_NOSIGNAL);
        if (sent >= 0)
            return static_cast<int>(sent);
        if (errno != EINTR)
            return LastSocketError();
    }
}

// sendfile(2) has no MSG_NOSIGNAL, and a peer that has gone would raise SIGPIPE and end the process.
// The signal is blocked on this thread for the call, and one the call raised is taken back before the
// mask is restored; one that was pending before is left alone.
int SendFile(SocketHandle socket, int file, uint64_t offset, size_t count) {
    if (IsNoSocket(socket))
        return kNoSocket;
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    sigset_t pending;
    sigpending(&pending);
    const bool pipeWasPending = sigismember(&pending, SIGPIPE) == 1;

    off_t position = static_cast<off_t>(offset);
    ssize_t sent;
    do {
        sent = ::sendfile(socket, file, &position, static_cast<size_t>(ClampLength(count)));
    } while (sent < 0 && errno == EINTR);
    const int error = errno;

    // A call that sent part of the count before the peer went away reports that part, yet has raised
    // the signal all the same; so the pending set is asked again whatever the result.
    if (!pipeWasPending && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
        const timespec noWait{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &noWait) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    if (sent >= 0)
        return static_cast<int>(sent);
    if (error == EINVAL || error == ENOSYS)
        return -kWsaEOpNotSupp;
    return SocketErrorFromErrno(error);
}

int SetNonBlocking(SocketHandle socket, bool nonBlocking) {
    if (int checked = CheckIsSocket(socket); checked != 0)
        return checked;
    int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0)
        return LastSocketError();
    int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (wanted != flags && ::fcntl(socket, F_SETFL, wanted) != 0)
        return LastSocketError();
    return 0;
}

int SetNoDelay(SocketHandle socket) {
    return SetIntOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
}

int GetSocketError(SocketHandle socket) {
    if (IsNoSocket(socket))
        return kNoSocket;
    int pending = 0;
    socklen_t length = sizeof pending;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &length) != 0)
        return LastSocketError();
    return pending == 0 ? 0 : SocketErrorFromErrno(pending);
}

int GetSockName(SocketHandle socket, sockaddr_in& out) {
    if (IsNoSocket(socket))
        return kNoSocket;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return LastSocketError();
    out = address;
    return 0;
}

int GetPeerName(SocketHandle socket, sockaddr_in& out) {
    if (IsNoSocket(socket))
        return kNoSocket;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return LastSocketError();
    out = address;
    return 0;
}

int ShutdownSend(SocketHandle socket) {
    if (IsNoSocket(socket))
        return kNoSocket;
    if (::shutdown(socket, SHUT_WR) != 0)
        return LastSocketError();
    return 0;
}

int ShutdownListening(SocketHandle socket) {
    if (IsNoSocket(socket))
        return kNoSocket;
    if (::shutdown(socket, SHUT_RDWR) != 0)
        return LastSocketError();
    return 0;
}

int CloseSocket(SocketHandle socket) {
    if (IsNoSocket(socket))
        return kNoSocket;
    // Linux releases the descriptor even when close is interrupted, so it must not be retried: the
    // number may already belong to another thread's new descriptor.
    if (::close(socket) != 0 && errno != EINTR)
        return LastSocketError();
    return 0;
}

int WaitForSockets(std::span<SocketWaitEntry> entries, int timeoutMs) {
    if (entries.empty())
        return -kWsaEInval;
    std::vector<pollfd> polled(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (int checked = CheckIsSocket(entries[i].socket); checked != 0)
            return checked;
        entries[i].ready = false;
        polled[i].fd = entries[i].socket;
        polled[i].events = PollEventsFor(entries[i].event);
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int remaining = timeoutMs;
    int result = 0;
    for (;;) {
        result = ::poll(polled.data(), polled.size(), remaining);
        if (result >= 0)
            break;
        if (errno != EINTR)
            return LastSocketError();
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            remaining = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
    }
    int ready = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        short seen = polled[i].revents;
        if (seen & POLLNVAL)
            return -kWsaEBadF;
        if (seen & (polled[i].events | POLLERR | POLLHUP)) {
            entries[i].ready = true;
            ++ready;
        }
    }
    return ready;
}

int WaitReadable(SocketHandle socket, int timeoutMs) {
    SocketWaitEntry entry{socket, WaitEvent::Readable, false};
    return WaitForSockets(std::span<SocketWaitEntry>(&entry, 1), timeoutMs);
}

int WaitWritable(SocketHandle socket, int timeoutMs) {
    SocketWaitEntry entry{socket, WaitEvent::Writable, false};
    return WaitForSockets(std::span<SocketWaitEntry>(&entry, 1), timeoutMs);
}

}  // namespace sarvo
