#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

// The listening server: one server thread that opens the listening socket and waits for the stop,
// and connection threads (see ConnectionThreads.h) that accept and admit each connection and serve
// it, once its first bytes come, on the thread that takes it; one request per connection.
namespace sarvo {

// Posted on the main-window channel with argument 0.
inline constexpr uint32_t CMD_SERVER_STARTED = 32775;
inline constexpr uint32_t CMD_SERVER_START_FAILED = 32776;
inline constexpr uint32_t CMD_SERVER_STOPPED = 32777;

// The server thread checks for a stop at least this often.
inline constexpr int kAcceptWaitMs = 3000;
// A flood of connections must not exhaust the owner's desktop: past this many connections being
// served a new connection is closed at once.
inline constexpr int kMaxConnectionThreads = 2000;
// Past this many live connections the server is crowded: a connection that has not sent its whole
// header within kCrowdedHeaderLimitMs is closed, so that slow or idle clients give way first.
inline constexpr int kCrowdedConnections = kMaxConnectionThreads * 3 / 4;
inline constexpr int kCrowdedHeaderLimitMs = 5000;
// The pending-connection queue of the listening socket; short queues drop bursts of new connections.
inline constexpr int kListenBacklog = 128;

// Starts the server thread and returns at once (0); the outcome is posted as CMD_SERVER_STARTED or
// CMD_SERVER_START_FAILED. A server that is still running is left as it is.
int StartServer();

// Asks the server thread to stop; it posts CMD_SERVER_STOPPED when it has ended. Connections being
// served finish on their own.
void StopServer();

// Waits until the server thread has ended (after a stop, or a failed start).
void WaitForServerThread();

bool IsServerRunning();

// The listening address; when listening on all interfaces, this computer's first address instead.
sockaddr_in GetServerAddress();

// Shows the site under another of this computer's addresses (the owner's choice in the window); the
// port stays. The next start sets the address anew.
void SetUrlAddress(uint32_t addressNetworkOrder);

// The positive Winsock number of the set-up step that failed last, 0 when none did.
int GetLastServerError();

// Connections being served.
int ActiveConnectionCount();
bool IsServerCrowded();

// "http://a.b.c.d/" or "http://a.b.c.d:port/" for the running server.
std::string ServerUrl();

}  // namespace sarvo
