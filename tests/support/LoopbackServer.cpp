#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <thread>

#include "common/Text.h"
#include "server/HttpServer.h"
#include "services/ServiceHandlers.h"
#include "site/SiteHandlers.h"
#include "store/Folders.h"
#include "store/SiteSettings.h"

namespace sarvo::test {
namespace {

constexpr auto kReadLimit = std::chrono::seconds(15);
constexpr auto kPieceGap = std::chrono::milliseconds(50);

int ConnectLoopback(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void SplitResponse(WireResponse& response) {
    response.received = !response.raw.empty();
    size_t headerEnd = response.raw.find("\r\n\r\n");
    if (headerEnd == std::string::npos)
        return;
    std::string head = response.raw.substr(0, headerEnd);
    response.body = response.raw.substr(headerEnd + 4);
    size_t lineStart = 0;
    bool first = true;
    while (lineStart <= head.size()) {
        size_t lineEnd = head.find("\r\n", lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = head.size();
        std::string line = head.substr(lineStart, lineEnd - lineStart);
        if (first)
            response.statusLine = line;
        else
            response.headerLines.push_back(line);
        first = false;
        lineStart = lineEnd + 2;
    }
}

}  // namespace

std::string WireResponse::Header(const std::string& name) const {
    for (const std::string& line : headerLines) {
        size_t colon = line.find(':');
        if (colon != std::string::npos && EqualsIgnoreCase(line.substr(0, colon), name))
            return TrimmedCopy(line.substr(colon + 1));
    }
    return std::string();
}

bool WireResponse::HasHeader(const std::string& name) const {
    for (const std::string& line : headerLines) {
        size_t colon = line.find(':');
        if (colon != std::string::npos && EqualsIgnoreCase(line.substr(0, colon), name))
            return true;
    }
    return false;
}

std::vector<std::string> WireResponse::HeaderNames() const {
    std::vector<std::string> names;
    for (const std::string& line : headerLines)
        names.push_back(line.substr(0, line.find(':')));
    return names;
}

WireResponse ExchangeInPieces(uint16_t port, const std::vector<std::string>& pieces) {
    WireResponse response;
    int fd = ConnectLoopback(port);
    if (fd < 0)
        return response;
    for (size_t index = 0; index < pieces.size(); ++index) {
        if (index > 0)
            std::this_thread::sleep_for(kPieceGap);
        const std::string& piece = pieces[index];
        if (::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) < 0)
            break;
    }
    const auto deadline = std::chrono::steady_clock::now() + kReadLimit;
    char buffer[65536];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 200) <= 0)
            continue;
        ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0)
            break;
        response.raw.append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
    SplitResponse(response);
    return response;
}

WireResponse Exchange(uint16_t port, const std::string& request) {
    return ExchangeInPieces(port, {request});
}

std::string Get(const std::string& path, const std::string& extraHeaders) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n";
}

namespace {

// Below the kernel's usual range of ephemeral ports (32768 and up): the client sockets of other tests
// running at once, thousands in the flood tests, never take these.
constexpr uint16_t kFirstTestPort = 20000;
constexpr uint16_t kTestPortCount = 12000;
constexpr int kPortAttempts = 200;

// Whether the port can be bound on every address, so that a server listening on all of them fits too.
bool IsPortFree(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return free;
}

}  // namespace

uint16_t PickFreePort() {
    static std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> offset(0, kTestPortCount - 1);
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        const auto port = static_cast<uint16_t>(kFirstTestPort + offset(random));
        if (IsPortFree(port))
            return port;
    }
    return 0;
}

LoopbackServer::LoopbackServer() {
    RegisterSiteHandlers();
    RegisterServiceHandlers();
    SetListenIp(htonl(INADDR_LOOPBACK));
    m_port = PickFreePort();
    SetListenPort(m_port);
    StartServer();
    m_started = m_mainWindow.WaitFor(CMD_SERVER_STARTED, std::chrono::seconds(10));
}

LoopbackServer::~LoopbackServer() {
    StopServer();
    WaitForServerThread();
    WaitForIdle();
}

std::string LoopbackServer::ShareFolder(const std::string& shareName, const std::string& folderName) {
    std::string location = m_home.Child(folderName);
    std::filesystem::create_directories(location);
    SharedFolder folder;
    folder.name = shareName;
    folder.location = location;
    folder.visible = true;
    folder.canBrowseSubfolders = true;
    WriteSharedFolder(folder);
    return location;
}

bool LoopbackServer::WaitForIdle(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ActiveConnectionCount() > 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace sarvo::test
