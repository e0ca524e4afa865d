#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "support/LoopbackServer.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using namespace std::chrono_literals;

constexpr auto kWaitLimit = 15s;

struct CliResult {
    int status = -1;
    std::string out;
};

// One sarvo-cli command over the given settings home.
CliResult RunCli(const std::string& home, const std::string& arguments) {
    CliResult result;
    std::string command = "SARVO_HOME='" + home + "' " SARVO_CLI_PATH " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t count;
    while ((count = ::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, count);
    int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// `sarvo-cli serve` in a process of its own, ended with SIGTERM as an owner would end it.
class ServeProcess {
public:
    ServeProcess(const std::string& home, uint16_t port) : m_port(port) {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setenv("SARVO_HOME", home.c_str(), 1);
            std::freopen("/dev/null", "w", stdout);
            ::execl(SARVO_CLI_PATH, "sarvo-cli", "serve", "--quiet", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~ServeProcess() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        if (!WaitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; })) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
    }

    bool Listening() const {
        return WaitFor([this] { return test::Exchange(m_port, test::Get("/")).received; });
    }

    std::string Page(const std::string& path) const { return test::Exchange(m_port, test::Get(path)).body; }

private:
    pid_t m_pid = -1;
    uint16_t m_port;
};

std::string Configure(const std::string& home, uint16_t port, const std::vector<std::string>& commands) {
    std::string failures;
    std::vector<std::string> all = {"set listen_ip 127.0.0.1", "set listen_port " + std::to_string(port)};
    all.insert(all.end(), commands.begin(), commands.end());
    for (const std::string& command : all) {
        CliResult result = RunCli(home, command);
        if (result.status != 0)
            failures += command + ": " + result.out;
    }
    return failures;
}

TEST(CommunityTwoServersTest, AMemberLogsInToItsHostAndLearnsWhenItIsRemoved) {
    test::TempFolder hostHome;
    test::TempFolder memberHome;
    const uint16_t hostPort = test::PickFreePort();
    const uint16_t memberPort = test::PickFreePort();
    const std::string hostUrl = "http://127.0.0.1:" + std::to_string(hostPort) + "/";
    const std::string memberUrl = "http://127.0.0.1:" + std::to_string(memberPort) + "/";
    ASSERT_EQ(
        Configure(hostHome.Path(), hostPort,
                  {"set AsWebCommHost 1", "set WebCommNameAsHost 'Loopback Hub'",
                   "set WebCommDescAsHost 'Servers on one machine'", "community add-member member-one"}),
        "");
    ASSERT_EQ(
        Configure(memberHome.Path(), memberPort,
                  {"set AsWebCommMember 1", "community join --login-url " + hostUrl +
                                                "WebCommunity/login --id member-one --name 'Member & Co' "
                                                "--desc 'The member site'"}),
        "");

    ServeProcess host(hostHome.Path(), hostPort);
    ASSERT_TRUE(host.Listening());
    ServeProcess member(memberHome.Path(), memberPort);
    ASSERT_TRUE(member.Listening());

    const std::string listed = "<li><a href=\"" + memberUrl +
                               "\" target=\"_blank\">Member &amp; Co</a>:&nbsp;&nbsp;The member site\r\n";
    EXPECT_TRUE(WaitFor([&] { return host.Page("/WebCommunity/").find(listed) != std::string::npos; }))
        << host.Page("/WebCommunity/");
    CliResult members = RunCli(hostHome.Path(), "community members");
    EXPECT_EQ(members.out.rfind(
                  "ID\tName\tURL\tLast Login\tDescription\nmember-one\tMember & Co\t" + memberUrl + "\t", 0),
              0u)
        << members.out;

    CliResult hosts = RunCli(memberHome.Path(), "community hosts");
    EXPECT_NE(hosts.out.find("  Host Name: Loopback Hub\n  Host Page: " + hostUrl +
                             "/WebCommunity/\n  Host Description: Servers on one machine\n"),
              std::string::npos)
        << hosts.out;
    EXPECT_EQ(hosts.out.find("Last Login: -"), std::string::npos) << "a login time is stored";
    EXPECT_NE(member.Page("/WebCommunity/")
                  .find("<a href=\"" + hostUrl +
                        "/WebCommunity/\" target=\"_blank\">"
                        "Loopback Hub</a>:&nbsp;&nbsp;Servers on one machine"),
              std::string::npos);

    ASSERT_EQ(RunCli(hostHome.Path(), "community remove-member member-one").status, 0);
    CliResult pass = RunCli(memberHome.Path(), "community login");
    EXPECT_EQ(pass.out, "member-one: failed: Member ID Not Exists\n");
    hosts = RunCli(memberHome.Path(), "community hosts");
    EXPECT_NE(hosts.out.find("  Host Name: \n  Host Page: \n  Host Description: Member ID Not Exists\n"),
              std::string::npos)
        << hosts.out;
    EXPECT_EQ(host.Page("/WebCommunity/").find("Member &amp; Co"), std::string::npos);
}

}  // namespace
}  // namespace sarvo
