#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "platform/Socket.h"

// The socket every network path of the program uses: one descriptor with a receive buffer and a send
// buffer that grow in 8192-byte steps. Results follow the Winsock convention: 0 or a positive count
// on success, minus a Winsock error number on failure (-kWsaENotSock when no socket is held); every
// failure also leaves "Socket Error = %d" in the error text.
namespace sarvo {

inline constexpr size_t kSocketBufferStep = 8192;
// One receive step reads at most this much.
inline constexpr size_t kReceiveBlock = 8192;

class TcpSocket {
public:
    enum class AddressSide { Peer, Local };

    TcpSocket() = default;
    virtual ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Closes any held socket first.
    int Create();
    int Attach(SocketHandle socket);
    // A connection just accepted in non-blocking mode from the given peer; its two addresses are kept
    // rather than asked of the system at each use.
    void AttachAccepted(SocketHandle socket, const sockaddr_in& peer);
    // Hands the descriptor over; this object will no longer close it.
    SocketHandle DetachSocket();
    // Closes the descriptor at once and empties both buffers.
    void Close();
    // Closes so that what was sent reaches the client whole: the sending side is shut down, whatever
    // the client still sends is read and dropped for up to kGracefulDrainMs or until it closes, then
    // the descriptor is closed. Without the drain, unread request bytes would make the kernel reset
    // the connection and the client could lose the tail of the answer.
    void CloseGracefully();
    // For a peer that has sent all it meant to: closes at once, without the wait of CloseGracefully,
    // unless bytes have come in after all; those are drained by CloseGracefully.
    void CloseUnlessMoreArrived();

    // The address in network byte order, the port in host byte order.
    int Bind(uint32_t address, uint16_t port);
    int Listen(int backlog);
    // The accepted descriptor is attached to out.
    int Accept(sockaddr_in& peer, TcpSocket& out);
    int SetBlocking(bool blocking);
    // With wait, a connection under way on a non-blocking socket is waited for in 1000 ms steps for up
    // to 60000 ms in all (then -kWsaETimedOut); a stop asked for through the token ends the wait after
    // the current step (-kWsaEIntr).
    int Connect(uint32_t address, uint16_t port, bool wait, std::stop_token stop = {});
    bool GetAddress(sockaddr_in& out, AddressSide side) const;

    // 1 ready, 0 timed out, negative the socket's pending error (or a failed wait).
    int WaitReady(int timeoutMs, WaitEvent event);

    // Waits up to timeoutMs for data and appends one receive of at most kReceiveBlock bytes. Returns
    // the count (0 when nothing came in time); a closed peer gives -kWsaEConnReset.
    int ReceiveSome(int timeoutMs);
    std::string_view ReceivedData() const;
    // Drops the first n received bytes; the rest moves to the front.
    void ConsumeReceived(size_t n);
    size_t ClearReceived();

    // Appends to the send buffer and returns its new fill (the old one when nothing was added).
    size_t QueueSend(const void* data, size_t length);
    size_t QueueSendText(std::string_view text);
    size_t ClearSend();
    size_t SendFill() const { return m_sendFill; }
    // Nothing queued: 0. Otherwise waits up to timeoutMs to be writable and sends what it can; the
    // sent bytes leave the front of the buffer. Returns the count sent (0 on a timed-out wait).
    int SendSome(int timeoutMs);

    // 0 while the peer is there, -kWsaEConnReset once it has gone (a pending byte is peeked, not taken).
    int IsPeerGone();
    bool PeerClosed() const { return m_peerClosed; }

    SocketHandle Handle() const { return m_socket; }
    // The memory the two buffers hold.
    size_t BufferBytes() const { return m_receiveBuffer.capacity + m_sendBuffer.capacity; }
    const std::string& LastErrorText() const { return m_lastErrorText; }

protected:
    // Records a failed result in the error text and returns it.
    int Fail(int result);

private:
    // The byte after the held ones is always a NUL.
    struct Buffer {
        std::unique_ptr<char[]> bytes;
        size_t capacity = 0;
    };

    // The growth rule shared with the response buffers: room for needed more bytes behind the held
    // ones, in kSocketBufferStep steps, always with one zero byte to spare. False when the memory
    // cannot be had.
    static bool MakeRoom(Buffer& buffer, size_t held, size_t needed);
    void ResetState();

    SocketHandle m_socket = kInvalidSocket;
    Buffer m_receiveBuffer;
    size_t m_receiveFill = 0;
    Buffer m_sendBuffer;
    size_t m_sendStart = 0;  // bytes at the front that were already sent
    size_t m_sendFill = 0;   // bytes queued and not yet sent
    std::string m_lastErrorText;
    bool m_peerClosed = false;
    bool m_nonBlocking = false;  // as set through SetBlocking
    // Known for an accepted connection, whose addresses cannot change.
    bool m_accepted = false;
    sockaddr_in m_peerAddress{};
    mutable std::optional<sockaddr_in> m_localAddress;
};

// How long a graceful close waits for the client to finish sending.
inline constexpr int kGracefulDrainMs = 100;

}  // namespace sarvo
