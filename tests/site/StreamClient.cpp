#include "StreamClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sarvo::test {
namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

StreamClient::StreamClient(uint16_t port, const std::string& request) {
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_socket < 0 || ::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::send(m_socket, request.data(), request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size()))
        Close();
}

StreamClient::~StreamClient() {
    Close();
}

bool StreamClient::Send(const std::string& bytes) {
    return m_socket >= 0 &&
           ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

void StreamClient::Close() {
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}

bool StreamClient::Fill(std::chrono::milliseconds wait) {
    if (m_socket < 0 || m_closed)
        return false;
    pollfd entry{m_socket, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(wait.count())) <= 0)
        return true;
    char buffer[65536];
    ssize_t got = ::recv(m_socket, buffer, sizeof buffer, 0);
    if (got <= 0) {
        m_closed = true;
        return false;
    }
    m_pending.append(buffer, static_cast<size_t>(got));
    return true;
}

std::string StreamClient::ReadHead(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    size_t end;
    while ((end = m_pending.find("\r\n\r\n")) == std::string::npos) {
        if (Clock::now() >= deadline || !Fill(std::chrono::milliseconds(Remaining(deadline))))
            return std::string();
    }
    std::string head = m_pending.substr(0, end + 4);
    m_pending.erase(0, end + 4);
    return head;
}

std::string StreamClient::ReadExactly(size_t n, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (m_pending.size() < n && Clock::now() < deadline) {
        if (!Fill(std::chrono::milliseconds(Remaining(deadline))))
            break;
    }
    std::string taken = m_pending.substr(0, n);
    m_pending.erase(0, taken.size());
    return taken;
}

std::string StreamClient::ReadFor(std::chrono::milliseconds time) {
    const auto deadline = Clock::now() + time;
    while (Clock::now() < deadline) {
        if (!Fill(std::chrono::milliseconds(Remaining(deadline))))
            break;
    }
    std::string taken;
    taken.swap(m_pending);
    return taken;
}

bool StreamClient::WaitForClose(std::chrono::milliseconds limit, std::string& received) {
    const auto deadline = Clock::now() + limit;
    while (!m_closed && Clock::now() < deadline)
        Fill(std::chrono::milliseconds(Remaining(deadline)));
    received += m_pending;
    m_pending.clear();
    return m_closed;
}

}  // namespace sarvo::test
