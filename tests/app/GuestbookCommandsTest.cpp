#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "services/Guestbook.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"

extern char** environ;

namespace sarvo::cli {
namespace {

namespace fs = std::filesystem;

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

CliResult RunCommand(std::vector<std::string> arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(arguments, {out, err});
    return {status, out.str(), err.str()};
}

TEST(GuestbookCommands, ListReadDeleteAndFolder) {
    test::ScopedSarvoHome home;
    const std::string folder = home.Path() + "/SarvoGuestbook";
    EXPECT_EQ(RunCommand({"guestbook", "folder"}).out, folder + "\n");
    EXPECT_EQ(RunCommand({"guestbook", "list"}).out, "");

    home.WriteFile("SarvoGuestbook/10.0.0.5.txt", "Hello\r\nthere\x1b[31m\tred\nend");
    const CliResult list = RunCommand({"guestbook", "list"});
    ASSERT_EQ(list.status, kExitOk);
    // Name, local time, and the text on one line: line breaks marked, control bytes blanked.
    const std::string line = list.out;
    ASSERT_EQ(line.find("10.0.0.5\t"), 0u) << line;
    EXPECT_TRUE(
        line.ends_with("\tHello\xc2\xb6there [31m red\xc2\xb6"
                       "end\n"))
        << line;

    EXPECT_EQ(RunCommand({"guestbook", "read", "10.0.0.5"}).out, "Hello\r\nthere\x1b[31m\tred\nend\n");
    EXPECT_EQ(RunCommand({"guestbook", "read", "../10.0.0.5"}).status, kExitRefused);

    const CliResult deleted = RunCommand({"guestbook", "delete", "10.0.0.5", "10.0.0.6"});
    EXPECT_EQ(deleted.status, kExitFailed);
    EXPECT_EQ(deleted.out, "Deleted 10.0.0.5\n");
    EXPECT_FALSE(fs::exists(folder + "/10.0.0.5.txt"));

    for (const std::vector<std::string>& refused :
         std::vector<std::vector<std::string>>{{"guestbook"},
                                               {"guestbook", "read"},
                                               {"guestbook", "delete"},
                                               {"guestbook", "list", "x"},
                                               {"guestbook", "purge"}})
        EXPECT_EQ(RunCommand(refused).status, kExitRefused);
}

// `sarvo-cli serve` as a child process whose standard output is read line by line, each read bounded.
class ServeProcess {
public:
    ServeProcess() {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        char* const argv[] = {const_cast<char*>(SARVO_CLI_PATH), const_cast<char*>("serve"),
                              const_cast<char*>("--quiet"), nullptr};
        if (::posix_spawn(&m_pid, SARVO_CLI_PATH, &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        m_output = pipeEnds[0];
    }

    ~ServeProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_output >= 0)
            ::close(m_output);
    }

    // The next whole line, or "" when none came in time.
    std::string NextLine(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (m_pending.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{m_output, POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0)
                continue;
            char buffer[512];
            const ssize_t count = ::read(m_output, buffer, sizeof buffer);
            if (count <= 0)
                break;
            m_pending.append(buffer, static_cast<size_t>(count));
        }
        const size_t end = m_pending.find('\n');
        if (end == std::string::npos)
            return {};
        std::string line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        return line;
    }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_pending;
};

TEST(GuestbookServe, AlarmPrintsOneLinePerMessage) {
    test::ScopedSarvoHome home;
    const uint16_t port = test::PickFreePort();
    SetListenIp(htonl(INADDR_LOOPBACK));
    SetListenPort(port);
    SetGuestbookEnabled(true);
    SetGuestbookAlarmOn(true);
    ServeProcess serve;
    ASSERT_EQ(serve.NextLine(), "Server is working on port " + std::to_string(port));

    const std::string post =
        "POST /Guestbook/ HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: "
        "6\r\n\r\n";
    for (const char* body : {"msg=hi", "msg=  "})
        test::Exchange(port, post + body);
    EXPECT_EQ(serve.NextLine(), kGuestbookNotice);
    EXPECT_EQ(serve.NextLine(std::chrono::milliseconds(500)), "");
}

}  // namespace
}  // namespace sarvo::cli
