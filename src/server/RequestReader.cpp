#include "server/RequestReader.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "platform/WinsockError.h"
#include "server/AccessControl.h"
#include "server/ConnectionContext.h"
#include "server/HttpRequest.h"
#include "server/HttpServer.h"
#include "server/LocalClient.h"
#include "server/Logbook.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

constexpr char kMaliciousMessage[] = "*** Auto Block Malicious Request.";
constexpr char kTooLongMessage[] = "*** Auto Block Request Header longer than 2048 bytes.";
constexpr char kUnknownMessage[] = "*** Auto Block Unknown Request.";
constexpr char kDisconnectedMessage[] = "*** Disconnected by client.";
constexpr char kTooSlowMessage[] = "*** Request header not received within 60 seconds.";
constexpr char kOverLimitMessage[] = "*** Request header longer than 65536 bytes.";
constexpr char kCrowdedMessage[] =
    "*** Request header not received within 5 seconds while the server is crowded.";

// The checks on a header that has not ended yet. Returns 0 to go on receiving.
int CheckPartialHeader(const ConnectionContext& connection, std::string_view data, bool autoBlock) {
    if (data.empty())
        return 0;
    if (autoBlock) {
        if (HasForbiddenPartialHeaderByte(data)) {
            AutoBlockClient(connection);
            LogConnectionRecord(connection, kMaliciousMessage, data);
            return kReadMalicious;
        }
        if (data.size() > kMaxPartialHeader) {
            AutoBlockClient(connection);
            LogConnectionRecord(connection, kTooLongMessage, data);
            return kReadTooLong;
        }
        return 0;
    }
    if (data.size() > kMaxHeaderWithoutAutoBlock) {
        LogConnectionRecord(connection, kOverLimitMessage, data);
        return kReadTooLong;
    }
    return 0;
}

}  // namespace

void LogConnectionRecord(const ConnectionContext& connection, const char* message, std::string_view header) {
    // Asked first because telling a local client apart may query the interfaces.
    if (!IsLogEnabled())
        return;
    sockaddr_in peer{};
    if (!connection.GetAddress(peer, TcpSocket::AddressSide::Peer))
        return;
    WriteLogRecord(peer, IsLocalClient(connection), message ? message : "", header);
}

void AutoBlockClient(const ConnectionContext& connection) {
    sockaddr_in peer{};
    if (connection.GetAddress(peer, TcpSocket::AddressSide::Peer))
        AddToAutoBlockList(peer.sin_addr.s_addr);
}

int ReadRequestHeader(ConnectionContext& connection) {
    using Clock = std::chrono::steady_clock;
    // The request's settings are those of the moment its first byte arrived (a reader's settings
    // scope fixes them at its first read), so the first is read only once there are bytes.
    std::optional<bool> autoBlock;
    const auto start = connection.acceptedAt;
    const auto deadline = start + std::chrono::milliseconds(kHeaderTimeLimitMs);
    const auto crowdedDeadline = start + std::chrono::milliseconds(kCrowdedHeaderLimitMs);
    size_t headerEnd = std::string_view::npos;
    for (;;) {
        std::string_view data = connection.ReceivedData();
        if (!data.empty() && !autoBlock)
            autoBlock = UseAutoBlockList();
        headerEnd = FindHeaderEnd(data);
        if (headerEnd != std::string_view::npos)
            break;
        if (int verdict = CheckPartialHeader(connection, data, autoBlock.value_or(false)); verdict < 0)
            return verdict;
        const auto now = Clock::now();
        if (now >= deadline) {
            LogConnectionRecord(connection, kTooSlowMessage, data);
            return kReadDisconnected;
        }
        if (now >= crowdedDeadline && IsServerCrowded()) {
            LogConnectionRecord(connection, kCrowdedMessage, data);
            return kReadDisconnected;
        }
        // The first wait ends at the crowded limit, so that a slow header is looked at again then.
        const auto untilCrowded =
            std::chrono::duration_cast<std::chrono::milliseconds>(crowdedDeadline - now).count();
        const int step = untilCrowded > 0 ? static_cast<int>(std::min<long>(untilCrowded, kReceiveStepMs))
                                          : kReceiveStepMs;
        int received = connection.ReceiveSome(step);
        if (received >= 0 || received == -kWsaEWouldBlock)
            continue;
        LogConnectionRecord(connection, kDisconnectedMessage, connection.ReceivedData());
        return kReadDisconnected;
    }

    std::string_view block = connection.ReceivedData().substr(0, headerEnd);
    HttpRequest& request = connection.request;
    request.Parse(block);
    if (!request.IsAcceptable() && *autoBlock) {
        AutoBlockClient(connection);
        LogConnectionRecord(connection, request.IsMalformed() ? kMaliciousMessage : kUnknownMessage, block);
        return kReadRefused;
    }
    LogConnectionRecord(connection, nullptr, block);
    connection.ConsumeReceived(headerEnd);
    return 0;
}

}  // namespace sarvo
