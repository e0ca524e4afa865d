#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <span>

// One function per socket call. Every function returns 0 (or a count, or a descriptor) on success and
// minus a Winsock error number (platform/WinsockError.h) on failure, so that callers written against
// Winsock results keep working unchanged.
//
// Descriptors: a negative handle (kInvalidSocket) is "no socket" and gives -kWsaENotSock without a
// system call, as Winsock does for INVALID_SOCKET. A descriptor that is open but is not a socket (a
// pipe, a file) also gives -kWsaENotSock. A descriptor number that is not open at all gives
// -kWsaEBadF: that is a use-after-close in the caller, and it is kept apart on purpose.
namespace sarvo {

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

enum class RecvMode { Consume, Peek };
enum class WaitEvent { Readable, Writable };

// A blocking IPv4 TCP socket, closed on exec so that spawned tools do not inherit it. Returns the
// handle or a negative error.
int CreateTcpSocket();

int SetReuseAddress(SocketHandle socket);

// The address is in network byte order (as sockaddr_in holds it, INADDR_ANY = 0); the port in host
// byte order.
int Bind(SocketHandle socket, uint32_t address, uint16_t port);
int Listen(SocketHandle socket, int backlog);

enum class AcceptedMode { Blocking, NonBlocking };
// Returns the accepted handle (closed on exec, in the given mode) or a negative error. peer may be
// null.
int Accept(SocketHandle socket, sockaddr_in* peer, AcceptedMode mode = AcceptedMode::Blocking);

// A blocking connect on a blocking socket; on a non-blocking one it returns -kWsaEWouldBlock while the
// connection is under way (Winsock's answer), and completion is seen with WaitWritable and
// GetSocketError.
int Connect(SocketHandle socket, uint32_t address, uint16_t port);

// Returns the number of bytes received, 0 when the peer has closed its side. A length beyond INT_MAX
// is cut to INT_MAX so that the count fits the result.
int Recv(SocketHandle socket, void* buffer, size_t length, RecvMode mode = RecvMode::Consume);

// Returns the number of bytes sent, which may be fewer than asked. Never raises SIGPIPE: writing to a
// closed peer gives -kWsaEConnReset.
int Send(SocketHandle socket, const void* data, size_t length);

// Sends count bytes of an open file from offset straight to the socket, without copying them through
// the process. Returns the number sent (0 at the end of the file), -kWsaEOpNotSupp when the file
// cannot be sent this way (its bytes must then be read and sent), or another negative error. Like
// Send it never raises SIGPIPE.
int SendFile(SocketHandle socket, int file, uint64_t offset, size_t count);

int SetNonBlocking(SocketHandle socket, bool nonBlocking);
int SetNoDelay(SocketHandle socket);

// The pending error of the socket (SO_ERROR), cleared by the call: 0 when there is none, otherwise
// its negative Winsock number; a failed query gives its own negative error.
int GetSocketError(SocketHandle socket);

int GetSockName(SocketHandle socket, sockaddr_in& out);
int GetPeerName(SocketHandle socket, sockaddr_in& out);
int ShutdownSend(SocketHandle socket);
// Stops a listening socket: every thread blocked in Accept on it returns at once with an error, as
// does every later Accept, and connections not yet accepted are refused.
int ShutdownListening(SocketHandle socket);

// Always releases the descriptor, even when close reports an error.
int CloseSocket(SocketHandle socket);

// One socket of a multi-socket wait; ready is set by WaitForSockets.
struct SocketWaitEntry {
    SocketHandle socket = kInvalidSocket;
    WaitEvent event = WaitEvent::Readable;
    bool ready = false;
};

// Waits until at least one entry is ready or timeoutMs has passed (a negative timeout waits without
// limit). Returns the number of ready entries, 0 on timeout, or a negative error. This takes the
// place of select(), without its limit on descriptor numbers. A closed peer and a pending error count
// as readable and writable, as select reports them. An interrupted wait is resumed with the time
// that is left. An empty set gives -kWsaEInval, as select does.
int WaitForSockets(std::span<SocketWaitEntry> entries, int timeoutMs);

// Single-socket forms: >0 ready, 0 timeout, negative error.
int WaitReadable(SocketHandle socket, int timeoutMs);
int WaitWritable(SocketHandle socket, int timeoutMs);

}  // namespace sarvo
