#include "server/TcpSocket.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <new>

#include "platform/WinsockError.h"

namespace sarvo {
namespace {

constexpr int kNoSocket = -kWsaENotSock;
constexpr int kConnectStepMs = 1000;
constexpr int kConnectLimitMs = 60000;

size_t RoundDownToStep(size_t size) {
    return size - size % kSocketBufferStep;
}

}  // namespace

TcpSocket::~TcpSocket() {
    Close();
}

bool TcpSocket::MakeRoom(Buffer& buffer, size_t held, size_t needed) {
    if (buffer.bytes && buffer.capacity - held > needed)
        return true;
    const size_t base = std::max(buffer.capacity, held);
    if (needed > std::numeric_limits<size_t>::max() - base - 2 * kSocketBufferStep)
        return false;
    const size_t capacity = RoundDownToStep(base + needed + kSocketBufferStep);
    // Left unfilled: zeroing a new buffer cost more than the rest of a small request's work.
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[capacity]);
    if (!bytes)
        return false;
    if (held > 0)
        std::memcpy(bytes.get(), buffer.bytes.get(), held);
    bytes[held] = '\0';
    buffer.bytes = std::move(bytes);
    buffer.capacity = capacity;
    return true;
}

void TcpSocket::ResetState() {
    ClearReceived();
    ClearSend();
    m_lastErrorText.clear();
    // A socket attached later is another connection; what was seen of this peer does not carry over.
    m_peerClosed = false;
    m_nonBlocking = false;
    m_accepted = false;
    m_localAddress.reset();
}

int TcpSocket::Fail(int result) {
    m_lastErrorText = "Socket Error = " + std::to_string(-static_cast<long long>(result));
    if (result == -kWsaEConnReset)
        m_peerClosed = true;
    return result;
}

int TcpSocket::Create() {
    Close();
    int created = CreateTcpSocket();
    if (created < 0)
        return Fail(created);
    m_socket = created;
    return 0;
}

int TcpSocket::Attach(SocketHandle socket) {
    Close();
    m_socket = socket;
    return 0;
}

void TcpSocket::AttachAccepted(SocketHandle socket, const sockaddr_in& peer) {
    Attach(socket);
    m_nonBlocking = true;
    m_accepted = true;
    m_peerAddress = peer;
}

SocketHandle TcpSocket::DetachSocket() {
    SocketHandle socket = m_socket;
    m_socket = kInvalidSocket;
    return socket;
}

void TcpSocket::Close() {
    if (m_socket != kInvalidSocket) {
        CloseSocket(m_socket);
        m_socket = kInvalidSocket;
    }
    ResetState();
}

void TcpSocket::CloseGracefully() {
    if (m_socket == kInvalidSocket)
        return;
    // The FIN goes out behind the answer, so the client sees the answer end even while it is still
    // sending.
    if (ShutdownSend(m_socket) == 0) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(kGracefulDrainMs);
        char discard[kReceiveBlock];
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                break;
            if (WaitReadable(m_socket, static_cast<int>(left.count())) <= 0)
                break;
            int received = Recv(m_socket, discard, sizeof discard);
            if (received == -kWsaEWouldBlock)
                continue;
            if (received <= 0)
                break;
        }
    }
    Close();
}

void TcpSocket::CloseUnlessMoreArrived() {
    if (m_socket == kInvalidSocket)
        return;
    // Only a non-blocking socket can be asked without waiting. A peer that has closed already (0)
    // sends nothing more either.
    char probe;
    const int waiting = m_nonBlocking && m_receiveFill == 0 ? Recv(m_socket, &probe, 1, RecvMode::Peek) : 1;
    if (waiting > 0 || (waiting < 0 && waiting != -kWsaEWouldBlock)) {
        CloseGracefully();
        return;
    }
    Close();
}

int TcpSocket::Bind(uint32_t address, uint16_t port) {
    int result = sarvo::Bind(m_socket, address, port);
    return result < 0 ? Fail(result) : 0;
}

int TcpSocket::Listen(int backlog) {
    int result = sarvo::Listen(m_socket, backlog);
    return result < 0 ? Fail(result) : 0;
}

int TcpSocket::Accept(sockaddr_in& peer, TcpSocket& out) {
    int accepted = sarvo::Accept(m_socket, &peer);
    if (accepted < 0)
        return Fail(accepted);
    out.Attach(accepted);
    return 0;
}

int TcpSocket::SetBlocking(bool blocking) {
    int result = SetNonBlocking(m_socket, !blocking);
    if (result < 0)
        return Fail(result);
    m_nonBlocking = !blocking;
    return 0;
}

int TcpSocket::Connect(uint32_t address, uint16_t port, bool wait, std::stop_token stop) {
    int result = sarvo::Connect(m_socket, address, port);
    if (result == 0)
        return 0;
    if (result != -kWsaEWouldBlock || !wait)
        return Fail(result);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectLimitMs);
    for (;;) {
        int ready = WaitReady(kConnectStepMs, WaitEvent::Writable);
        if (ready > 0)
            return 0;
        if (ready < 0)
            return ready;
        if (stop.stop_requested())
            return Fail(-kWsaEIntr);
        if (Clock::now() >= deadline)
            return Fail(-kWsaETimedOut);
    }
}

bool TcpSocket::GetAddress(sockaddr_in& out, AddressSide side) const {
    if (m_accepted && m_socket != kInvalidSocket) {
        if (side == AddressSide::Peer) {
            out = m_peerAddress;
            return true;
        }
        if (!m_localAddress && GetSockName(m_socket, m_localAddress.emplace()) != 0)
            m_localAddress.reset();
        if (m_localAddress)
            out = *m_localAddress;
        return m_localAddress.has_value();
    }
    int result = side == AddressSide::Peer ? GetPeerName(m_socket, out) : GetSockName(m_socket, out);
    return result == 0;
}

int TcpSocket::WaitReady(int timeoutMs, WaitEvent event) {
    int ready =
        event == WaitEvent::Readable ? WaitReadable(m_socket, timeoutMs) : WaitWritable(m_socket, timeoutMs);
    if (ready < 0)
        return Fail(ready);
    if (ready == 0)
        return 0;
    // A failed connection attempt shows as writable; its error is what select's exception set would
    // report. A read wait leaves a pending error to the receive, which first hands over the bytes
    // that arrived before it.
    if (event == WaitEvent::Writable) {
        int pending = GetSocketError(m_socket);
        if (pending < 0)
            return Fail(pending);
    }
    return 1;
}

int TcpSocket::ReceiveSome(int timeoutMs) {
    // A non-blocking socket is tried before it is waited for: the bytes of a request usually arrive
    // with the connection, and the wait would cost a system call for nothing.
    const bool tryFirst = m_nonBlocking && m_socket != kInvalidSocket;
    if (!tryFirst) {
        int ready = WaitReady(timeoutMs, WaitEvent::Readable);
        if (ready <= 0)
            return ready;
    }
    if (!MakeRoom(m_receiveBuffer, m_receiveFill, kReceiveBlock))
        return Fail(kSocketNoMemory);
    int received = Recv(m_socket, m_receiveBuffer.bytes.get() + m_receiveFill, kReceiveBlock);
    if (tryFirst && received == -kWsaEWouldBlock) {
        int ready = WaitReady(timeoutMs, WaitEvent::Readable);
        if (ready <= 0)
            return ready;
        received = Recv(m_socket, m_receiveBuffer.bytes.get() + m_receiveFill, kReceiveBlock);
    }
    if (received == 0)
        return Fail(-kWsaEConnReset);
    if (received < 0)
        return Fail(received);
    m_receiveFill += static_cast<size_t>(received);
    m_receiveBuffer.bytes[m_receiveFill] = '\0';
    return received;
}

std::string_view TcpSocket::ReceivedData() const {
    if (!m_receiveBuffer.bytes)
        return {};
    return std::string_view(m_receiveBuffer.bytes.get(), m_receiveFill);
}

void TcpSocket::ConsumeReceived(size_t n) {
    if (n == 0)
        return;
    char* bytes = m_receiveBuffer.bytes.get();
    if (n >= m_receiveFill) {
        ClearReceived();
        return;
    }
    const size_t rest = m_receiveFill - n;
    std::memmove(bytes, bytes + n, rest);
    bytes[rest] = '\0';
    m_receiveFill = rest;
}

size_t TcpSocket::ClearReceived() {
    const size_t former = m_receiveFill;
    if (m_receiveBuffer.bytes)
        m_receiveBuffer.bytes[0] = '\0';
    m_receiveFill = 0;
    return former;
}

size_t TcpSocket::QueueSend(const void* data, size_t length) {
    if (!data || length == 0)
        return m_sendFill;
    char* bytes = m_sendBuffer.bytes.get();
    // Moving the unsent bytes to the front only when the tail is full keeps sending from costing a
    // move of everything still queued.
    if (m_sendStart > 0 && m_sendBuffer.capacity - (m_sendStart + m_sendFill) <= length) {
        std::memmove(bytes, bytes + m_sendStart, m_sendFill);
        bytes[m_sendFill] = '\0';
        m_sendStart = 0;
    }
    if (!MakeRoom(m_sendBuffer, m_sendStart + m_sendFill, length)) {
        Fail(kSocketNoMemory);
        return m_sendFill;
    }
    std::memcpy(m_sendBuffer.bytes.get() + m_sendStart + m_sendFill, data, length);
    m_sendFill += length;
    m_sendBuffer.bytes[m_sendStart + m_sendFill] = '\0';
    return m_sendFill;
}

size_t TcpSocket::QueueSendText(std::string_view text) {
    return QueueSend(text.data(), text.size());
}

size_t TcpSocket::ClearSend() {
    const size_t former = m_sendFill;
    if (m_sendBuffer.bytes)
        m_sendBuffer.bytes[0] = '\0';
    m_sendStart = 0;
    m_sendFill = 0;
    return former;
}

int TcpSocket::SendSome(int timeoutMs) {
    if (m_sendFill == 0)
        return 0;
    // As with receiving: a non-blocking socket with room in its kernel buffer takes the bytes at once.
    const bool tryFirst = m_nonBlocking && m_socket != kInvalidSocket;
    char* front = m_sendBuffer.bytes.get() + m_sendStart;
    int sent = tryFirst ? Send(m_socket, front, m_sendFill) : -kWsaEWouldBlock;
    if (sent == -kWsaEWouldBlock) {
        int ready = WaitReady(timeoutMs, WaitEvent::Writable);
        if (ready <= 0)
            return ready;
        sent = Send(m_socket, front, m_sendFill);
    }
    if (sent < 0)
        return Fail(sent);
    const size_t count = static_cast<size_t>(sent);
    m_sendFill -= count;
    m_sendStart = m_sendFill == 0 ? 0 : m_sendStart + count;
    if (m_sendFill == 0)
        m_sendBuffer.bytes[0] = '\0';
    return sent;
}

int TcpSocket::IsPeerGone() {
    if (m_peerClosed)
        return Fail(-kWsaEConnReset);
    if (m_socket == kInvalidSocket)
        return Fail(kNoSocket);
    int ready = WaitReady(0, WaitEvent::Readable);
    if (ready == 0)
        return 0;
    if (ready > 0) {
        char probe = 0;
        int peeked = Recv(m_socket, &probe, 1, RecvMode::Peek);
        // Readiness without a byte on a non-blocking socket is not a departure.
        if (peeked == 1 || peeked == -kWsaEWouldBlock)
            return 0;
    }
    m_peerClosed = true;
    return Fail(-kWsaEConnReset);
}

}  // namespace sarvo
