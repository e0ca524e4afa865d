#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileTime.h"
#include "platform/Socket.h"

// What every connection is doing, for the clients panel: one shared table of records keyed by the
// connection's socket. Connection threads write it; the panel is told through the ClientsList
// notification channel (the socket as the argument) and then takes a copy of the record, which by then
// may have changed or even belong to a new connection with the same socket value.
namespace sarvo {

// Command ids posted on NotificationChannel::ClientsList.
inline constexpr uint32_t kClientInfoConnected = 1000;
inline constexpr uint32_t kClientInfoRequest = 1001;
inline constexpr uint32_t kClientInfoProgress = 1002;
inline constexpr uint32_t kClientInfoClosed = 1003;

// ClientRecord::action.
inline constexpr uint32_t kActionNone = 0;
inline constexpr uint32_t kActionDownload = 1;  // GET or HEAD
inline constexpr uint32_t kActionUpload = 2;    // POST
inline constexpr uint32_t kActionFailed = 3;    // a refused request

// The table starts with this many records and grows by as many at a time; it never shrinks.
inline constexpr size_t kClientTableStep = 32;
// The object is kept to this many bytes.
inline constexpr size_t kClientObjectMax = 259;

struct ClientRecord {
    SocketHandle socket = kInvalidSocket;
    sockaddr_in peer{};
    uint32_t action = kActionNone;
    FileTime connectedAt;
    FileTime closedAt;  // zero while the connection is open
    uint64_t total = 0;
    uint64_t done = 0;
    std::string object;  // the request path, URL-decoded to the process code page
};

// Creates the record of a new connection, or resets the one its socket value had before. Posts
// kClientInfoConnected, unless the table could not grow.
void RecordConnected(SocketHandle socket);
// The same for a connection whose peer address is known already.
void RecordConnected(SocketHandle socket, const sockaddr_in& peer);
// Sets the action and the object (decoded, cut to kClientObjectMax bytes). Posts kClientInfoRequest
// when the socket has a record.
void RecordRequest(SocketHandle socket, uint32_t action, std::string_view object);
// Posts kClientInfoProgress when the socket has a record.
void UpdateProgress(SocketHandle socket, uint64_t total, uint64_t done);
// Stamps the closing time; the record stays readable until its slot is reused. Posts
// kClientInfoClosed when the socket has a record.
void RecordClosed(SocketHandle socket);

std::optional<ClientRecord> CopyClientRecord(SocketHandle socket);

// How many records the table has room for.
size_t ClientTableCapacity();

// The progress of one transfer on one connection.
class SendProgress {
public:
    // Resets both counts.
    void Bind(SocketHandle socket);
    // Sets the total and starts over, without a notification.
    void Start(uint64_t total);
    // Counts n more bytes and updates the connection's record.
    void Add(uint64_t n);

    uint64_t Total() const { return m_total; }
    uint64_t Done() const { return m_done; }

private:
    SocketHandle m_socket = kInvalidSocket;
    uint64_t m_total = 0;
    uint64_t m_done = 0;
};

}  // namespace sarvo
