#include "server/HttpServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "common/Url.h"
#include "platform/FreeMemory.h"
#include "platform/LocalAddresses.h"
#include "platform/Notification.h"
#include "platform/ResourceLimits.h"
#include "platform/Socket.h"
#include "platform/WinsockError.h"
#include "server/AccessControl.h"
#include "server/ClientActivity.h"
#include "server/ClientQuota.h"
#include "server/ConnectionContext.h"
#include "server/ConnectionThreads.h"
#include "server/Dispatch.h"
#include "server/LocalClient.h"
#include "store/SettingsReadScope.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

constexpr int kStartFailedSetup = 1;
constexpr int kStartFailedAddress = 2;
// More connections at once than this make a burst, after which free memory is returned.
constexpr int kBurstConnections = 64;

// The stop request wakes the server thread through a socket pair, so that it need not wait out its
// step; the waits of the socket layer take sockets only.
std::mutex g_lifecycleLock;  // guards g_serverThread and the wake pair
std::thread g_serverThread;
int g_wakePair[2] = {-1, -1};

std::atomic<bool> g_serverRunning{false};
std::atomic<bool> g_stopRequested{false};
std::atomic<int> g_lastServerError{0};
std::atomic<int> g_activeConnections{0};
// The most connections at once since they were last all gone.
std::atomic<int> g_peakConnections{0};

std::mutex g_addressLock;
sockaddr_in g_serverAddress{};

void SetServerAddress(const sockaddr_in& address) {
    std::lock_guard<std::mutex> hold(g_addressLock);
    g_serverAddress = address;
}

// Whether the client may connect. A client from another computer takes one of its address's places,
// and counted receives that address; this computer's own clients are not counted.
bool AdmitClient(const TcpSocket& client, std::optional<uint32_t>& counted) {
    if (IsLocalClient(client))
        return true;
    sockaddr_in peer{};
    if (!client.GetAddress(peer, TcpSocket::AddressSide::Peer))
        return false;
    // The place is taken first: a client past its share is refused without a look into the store.
    const uint32_t address = peer.sin_addr.s_addr;
    if (!TakeClientPlace(address))
        return false;
    // The filter and the auto-block list come from one look at the store, as a request's settings do.
    SettingsReadScope settings;
    if (IsBlockedAddress(address)) {
        ReleaseClientPlace(address);
        return false;
    }
    counted = address;
    return true;
}

void ReleasePlaces(const std::optional<uint32_t>& counted) {
    if (counted)
        ReleaseClientPlace(*counted);
    // Once a burst is over, the memory its threads allocated goes back to the system; otherwise the
    // allocator would keep it in their arenas for good.
    if (g_activeConnections.fetch_sub(1) == 1 && g_peakConnections.exchange(0) > kBurstConnections)
        ReturnFreeMemory();
}

// A request without a body was read whole with its header, so nothing more is on its way and the
// connection need not wait for the client to finish.
bool WasReadWhole(const HttpRequest& request) {
    uint64_t length = 0;
    request.ContentLength(length);
    return request.Method() != kMethodUnknown && !request.IsMalformed() && length == 0 &&
           request.Header("Transfer-Encoding").empty();
}

void CloseServedConnection(ConnectionContext& context) {
    if (WasReadWhole(context.request))
        context.CloseUnlessMoreArrived();
    else
        context.CloseGracefully();
}

// Each thread keeps its connection object for its next connection, so that a request does not pay
// for new buffers; one whose buffers grew past this is let go.
constexpr size_t kKeptConnectionBytes = 64 * 1024;
thread_local std::unique_ptr<ConnectionContext> t_connection;

ConnectionContext& ThreadConnection() {
    if (!t_connection)
        t_connection = std::make_unique<ConnectionContext>();
    return *t_connection;
}

// Noted at admission: the client took one of its address's places.
constexpr uint32_t kAdmittedWithPlace = 1;

std::optional<uint32_t> CountedAddress(const Arrival& arrival) {
    if (arrival.admission != kAdmittedWithPlace)
        return std::nullopt;
    return arrival.peer.sin_addr.s_addr;
}

// Decides, before a byte is read, whether the connection may stay.
bool AdmitArrival(Arrival& arrival) {
    ConnectionContext& context = ThreadConnection();
    context.AttachAccepted(arrival.socket, arrival.peer);
    std::optional<uint32_t> counted;
    const bool admitted = AdmitClient(context, counted);
    context.DetachSocket();
    if (!admitted)
        return false;
    const int active = g_activeConnections.fetch_add(1) + 1;
    if (active > kMaxConnectionThreads) {
        ReleasePlaces(counted);
        return false;
    }
    for (int peak = g_peakConnections.load(); active > peak;) {
        if (g_peakConnections.compare_exchange_weak(peak, active))
            break;
    }
    if (counted)
        arrival.admission = kAdmittedWithPlace;
    RecordConnected(arrival.socket, arrival.peer);
    return true;
}

// Serves an admitted connection for its whole life, on the thread that took it once its bytes came.
void ServeArrival(const Arrival& arrival) {
    ConnectionContext& context = ThreadConnection();
    context.request.Reset();
    context.AttachAccepted(arrival.socket, arrival.peer);
    context.acceptedAt = arrival.acceptedAt;
    DispatchRequest(context);
    RecordClosed(arrival.socket);
    // A chat output stream takes the socket over; what is left here is closed so that the answer
    // reaches the client whole even when it sent more than was read.
    if (context.Handle() != kInvalidSocket)
        CloseServedConnection(context);
    context.Close();
    ReleasePlaces(CountedAddress(arrival));
    if (context.BufferBytes() > kKeptConnectionBytes)
        t_connection.reset();
}

void DismissArrival(const Arrival& arrival) {
    RecordClosed(arrival.socket);
    CloseSocket(arrival.socket);
    ReleasePlaces(CountedAddress(arrival));
}

int RunServer(int wakeFd) {
    SetServerAddress(sockaddr_in{});
    g_lastServerError.store(0);
    TcpSocket listener;
    const uint32_t listenIp = GetListenIp();
    const uint16_t listenPort = GetListenPort();
    int result = listener.Create();
    if (result >= 0)
        result = SetReuseAddress(listener.Handle());
    if (result >= 0)
        result = listener.Bind(listenIp, listenPort);
    if (result >= 0)
        result = listener.Listen(kListenBacklog);
    if (result < 0) {
        g_lastServerError.store(-result);
        return kStartFailedSetup;
    }

    sockaddr_in address{};
    if (!listener.GetAddress(address, TcpSocket::AddressSide::Local))
        return kStartFailedAddress;
    if (address.sin_addr.s_addr == 0) {
        std::vector<uint32_t> own = LocalIpv4Addresses();
        if (!own.empty())
            address.sin_addr.s_addr = own.front();
    }
    ConnectionThreads threads;
    // A connection still without its first bytes when the crowded limit comes gets a thread, which
    // applies the header's time limits from then on.
    const ConnectionHandlers handlers{AdmitArrival, ServeArrival, DismissArrival};
    if (!threads.Start(listener.Handle(), handlers, std::chrono::milliseconds(kCrowdedHeaderLimitMs))) {
        g_lastServerError.store(kWsaENoBufs);
        return kStartFailedSetup;
    }
    SetServerAddress(address);
    PostNotification(NotificationChannel::MainWindow, CMD_SERVER_STARTED, 0);

    while (!g_stopRequested.load()) {
        if (WaitReadable(wakeFd, kAcceptWaitMs) < 0)
            break;
    }
    threads.Stop();
    return 0;
}

void ServerThread(int wakeFd) {
    int result = RunServer(wakeFd);
    g_serverRunning.store(false);
    PostNotification(NotificationChannel::MainWindow,
                     result != 0 ? CMD_SERVER_START_FAILED : CMD_SERVER_STOPPED, 0);
}

void CloseWakePair() {
    for (int& end : g_wakePair) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

}  // namespace

int StartServer() {
    std::lock_guard<std::mutex> hold(g_lifecycleLock);
    if (g_serverRunning.load())
        return 0;
    if (g_serverThread.joinable())
        g_serverThread.join();
    CloseWakePair();
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_wakePair) != 0) {
        g_wakePair[0] = g_wakePair[1] = -1;
        g_lastServerError.store(kWsaENoBufs);
        PostNotification(NotificationChannel::MainWindow, CMD_SERVER_START_FAILED, 0);
        return 0;
    }
    RaiseOpenFileLimit();
    TuneAllocatorForManyThreads();
    g_stopRequested.store(false);
    g_serverRunning.store(true);
    g_serverThread = std::thread(ServerThread, g_wakePair[0]);
    return 0;
}

void StopServer() {
    g_stopRequested.store(true);
    std::lock_guard<std::mutex> hold(g_lifecycleLock);
    if (g_wakePair[1] >= 0) {
        char wake = 1;
        [[maybe_unused]] ssize_t written = ::write(g_wakePair[1], &wake, 1);
    }
}

void WaitForServerThread() {
    std::lock_guard<std::mutex> hold(g_lifecycleLock);
    if (g_serverThread.joinable())
        g_serverThread.join();
    CloseWakePair();
}

bool IsServerRunning() {
    return g_serverRunning.load();
}

sockaddr_in GetServerAddress() {
    std::lock_guard<std::mutex> hold(g_addressLock);
    return g_serverAddress;
}

void SetUrlAddress(uint32_t addressNetworkOrder) {
    std::lock_guard<std::mutex> hold(g_addressLock);
    g_serverAddress.sin_addr.s_addr = addressNetworkOrder;
}

int GetLastServerError() {
    return g_lastServerError.load();
}

int ActiveConnectionCount() {
    return g_activeConnections.load();
}

bool IsServerCrowded() {
    return g_activeConnections.load() > kCrowdedConnections;
}

std::string ServerUrl() {
    sockaddr_in address = GetServerAddress();
    return FormatServerUrl(address.sin_addr.s_addr, ntohs(address.sin_port));
}

}  // namespace sarvo
