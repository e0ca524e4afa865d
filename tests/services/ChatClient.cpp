#include "services/ChatClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/LoopbackServer.h"

namespace sarvo::test {
namespace {

using Clock = std::chrono::steady_clock;

int Connect(uint16_t port, int receiveBuffer) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
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

std::chrono::milliseconds Left(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

}  // namespace

ChatClient::ChatClient(uint16_t port, uint32_t id, int receiveBuffer) : m_id(id) {
    m_socket = Connect(port, receiveBuffer);
    if (m_socket < 0)
        return;
    const std::string request = Get("/Webchat/output.htm?id=" + std::to_string(id));
    ::send(m_socket, request.data(), request.size(), MSG_NOSIGNAL);
}

ChatClient::~ChatClient() {
    Close();
}

void ChatClient::Close() {
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}

bool ChatClient::Fill(std::chrono::milliseconds wait) {
    if (m_socket < 0 || m_closed)
        return false;
    pollfd entry{m_socket, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(wait.count())) <= 0)
        return true;
    char buffer[65536];
    ssize_t count = ::recv(m_socket, buffer, sizeof buffer, 0);
    if (count <= 0) {
        m_closed = true;
        return false;
    }
    m_raw.append(buffer, static_cast<size_t>(count));
    DecodeChunks();
    return true;
}

void ChatClient::DecodeChunks() {
    if (!m_headDone) {
        size_t end = m_raw.find("\r\n\r\n");
        if (end == std::string::npos)
            return;
        m_head = m_raw.substr(0, end);
        m_raw.erase(0, end + 4);
        m_headDone = true;
    }
    for (;;) {
        size_t lineEnd = m_raw.find("\r\n");
        if (lineEnd == std::string::npos)
            return;
        size_t length = std::strtoul(m_raw.substr(0, lineEnd).c_str(), nullptr, 16);
        if (m_raw.size() < lineEnd + 2 + length + 2)
            return;
        std::string chunk = m_raw.substr(lineEnd + 2, length);
        m_raw.erase(0, lineEnd + 2 + length + 2);
        m_text += chunk;
        m_chunks.push_back(std::move(chunk));
    }
}

bool ChatClient::Joined() {
    return WaitFor("location.reload();") != std::string::npos;
}

size_t ChatClient::WaitFor(const std::string& needle, size_t from, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        size_t found = from <= m_text.size() ? m_text.find(needle, from) : std::string::npos;
        if (found != std::string::npos)
            return found + needle.size();
        if (Clock::now() >= deadline || !Fill(Left(deadline)))
            return std::string::npos;
    }
}

bool ChatClient::WaitForClose(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        if (!Fill(Left(deadline)))
            return m_closed;
    }
    return false;
}

std::string FormEncode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    return out;
}

std::string Speak(uint16_t port, uint32_t id, const std::string& to, const std::string& text) {
    const std::string body = "to=" + FormEncode(to) + "&speechtext=" + FormEncode(text);
    const std::string request =
        "POST /Webchat/input.htm?id=" + std::to_string(id) +
        " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    return Exchange(port, request).statusLine;
}

bool PostCutShortGetsNoAnswer(uint16_t port, uint32_t id, const std::string& body, size_t claimedLength) {
    const int fd = Connect(port, 0);
    if (fd < 0)
        return false;
    const std::string request =
        "POST /Webchat/input.htm?id=" + std::to_string(id) +
        " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: " +
        std::to_string(claimedLength) + "\r\n\r\n" + body;
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    pollfd entry{fd, POLLIN, 0};
    char byte;
    const bool closedSilently =
        ::poll(&entry, 1, static_cast<int>(std::chrono::milliseconds(kChatWait).count())) > 0 &&
        ::recv(fd, &byte, 1, 0) == 0;
    ::close(fd);
    return closedSilently;
}

uint32_t FramesetMemberId(const std::string& body) {
    const std::string marker = "output.htm?id=";
    size_t at = body.find(marker);
    if (at == std::string::npos)
        return 0;
    return static_cast<uint32_t>(std::strtoul(body.c_str() + at + marker.size(), nullptr, 10));
}

}  // namespace sarvo::test
