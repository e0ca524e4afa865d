#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "server/HttpServer.h"
#include "server/LocalClient.h"
#include "services/Webchat.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"

namespace sarvo::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWait = std::chrono::seconds(10);

// A member's output stream on a raw socket; reads until a text has arrived.
class RawStream {
public:
    RawStream(uint16_t port, uint32_t id) : m_socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        const std::string request = test::Get("/Webchat/output.htm?id=" + std::to_string(id));
        ::send(m_socket, request.data(), request.size(), MSG_NOSIGNAL);
    }
    ~RawStream() { ::close(m_socket); }

    bool WaitFor(const std::string& text) {
        const auto deadline = Clock::now() + kWait;
        while (m_received.find(text) == std::string::npos) {
            pollfd entry{m_socket, POLLIN, 0};
            if (Clock::now() >= deadline || ::poll(&entry, 1, 100) < 0)
                return false;
            char buffer[4096];
            if (entry.revents == 0)
                continue;
            const ssize_t count = ::recv(m_socket, buffer, sizeof buffer, 0);
            if (count <= 0)
                return false;
            m_received.append(buffer, static_cast<size_t>(count));
        }
        return true;
    }

private:
    int m_socket;
    std::string m_received;
};

// Runs `serve` on a thread of this process, so that a member can be made a guest, and stops it as
// SIGTERM would. The stop signal is blocked in every thread, so only serve's wait takes it.
class ServeOnThread {
public:
    explicit ServeOnThread(std::vector<std::string> arguments) {
        sigset_t stop;
        sigemptyset(&stop);
        sigaddset(&stop, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stop, nullptr);
        m_thread = std::thread([this, arguments] { m_status = RunServeCommand(arguments, {m_out, m_err}); });
    }

    // Stops serve and returns what it printed.
    std::string Stop() {
        if (m_thread.joinable()) {
            ::kill(::getpid(), SIGTERM);
            m_thread.join();
        }
        return m_out.str();
    }
    ~ServeOnThread() { Stop(); }

    int Status() const { return m_status; }

private:
    std::ostringstream m_out;
    std::ostringstream m_err;
    int m_status = -1;
    std::thread m_thread;
};

TEST(ServeWebchat, GuestCallingTheAbsentHostPrintsTheChatPageAddress) {
    test::ScopedSarvoHome home;
    const uint16_t port = test::PickFreePort();
    SetListenIp(htonl(INADDR_LOOPBACK));
    SetListenPort(port);
    ServeOnThread serve({"--quiet", "--webchat"});
    const auto deadline = Clock::now() + kWait;
    while (!IsChatRoomOpen() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(IsChatRoomOpen());
    const std::string pageLine = ServerUrl() + "WebChat/\n";

    SetLocalClientRule(LocalClientRule::TreatAllAsRemote);
    RawStream guest(port, 5);
    const bool joined = guest.WaitFor("location.reload();");
    SetLocalClientRule(LocalClientRule::Recognize);
    ASSERT_TRUE(joined);
    const std::string body = "to=All&speechtext=%21wakeup";
    const test::WireResponse posted = test::Exchange(
        port,
        "POST /Webchat/input.htm?id=5 HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(posted.statusLine, "HTTP/1.1 204 No Content");
    // The reply leaves after the notice was printed.
    ASSERT_TRUE(guest.WaitFor("The host is not in the room."));

    EXPECT_EQ(serve.Stop(), "Server is working on port " + std::to_string(port) + "\n" + pageLine);
    EXPECT_EQ(serve.Status(), kExitOk);
    EXPECT_FALSE(IsChatRoomOpen());
}

}  // namespace
}  // namespace sarvo::cli
