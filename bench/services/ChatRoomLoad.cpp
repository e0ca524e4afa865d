// Load on the chat room of `sarvo-cli serve --webchat=999`, with every member on a raw socket:
//
//   - fan-out: one member says BENCH_LINES lines (default 200) to BENCH_MEMBERS members (default
//     500); for each line, the time from sending its post until every member has read it (median,
//     99th percentile, largest). Run twice: every member reading, then with one member that never
//     reads its stream.
//   - idle: the room with all members for BENCH_IDLE_SECONDS (default 30): the chat thread's CPU time
//     as a share of one core (keep-alives included), and the server's RSS growth per member since
//     before anybody joined.
//
// Usage: chat_room_load PATH_TO_SARVO_CLI
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int EnvNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : fallback;
}

const int kMembers = EnvNumber("BENCH_MEMBERS", 500);
const int kLines = EnvNumber("BENCH_LINES", 200);
const int kIdleSeconds = EnvNumber("BENCH_IDLE_SECONDS", 30);
constexpr auto kStepLimit = std::chrono::seconds(20);
constexpr char kJoinedMark[] = "location.reload();";

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "chat_room_load: %s\n", message.c_str());
    std::exit(1);
}

uint16_t FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

int Connect(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
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

void SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t count = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (count <= 0)
            Fail("send failed");
        sent += static_cast<size_t>(count);
    }
}

std::string ReadToEnd(int fd) {
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0)
            return data;
        data.append(buffer, static_cast<size_t>(count));
    }
}

std::string Get(uint16_t port, const std::string& path) {
    int fd = Connect(port);
    if (fd < 0)
        return std::string();
    SendAll(fd, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    std::string reply = ReadToEnd(fd);
    ::close(fd);
    return reply;
}

// The server's process: resident memory and the chat thread's CPU time.
struct ServerProcess {
    pid_t pid = -1;

    long RssKiB() const {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0)
                return std::atol(line.c_str() + 6);
        }
        return -1;
    }

    std::string ChatThreadTask() const {
        const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
        for (const auto& entry : std::filesystem::directory_iterator(tasks)) {
            std::ifstream comm(entry.path() / "comm");
            std::string name;
            std::getline(comm, name);
            if (name == "SarvoChat")
                return entry.path().string();
        }
        return std::string();
    }

    // Nanoseconds on the CPU, from the scheduler's statistics.
    static double CpuSeconds(const std::string& task) {
        std::ifstream schedstat(task + "/schedstat");
        unsigned long long nanoseconds = 0;
        schedstat >> nanoseconds;
        return nanoseconds / 1e9;
    }
};

struct Member {
    int fd = -1;
    std::string tail;  // the last bytes read, so a mark split over two reads is still found
    bool reading = true;
    bool seen = false;
};

class Room {
public:
    explicit Room(uint16_t port) : m_port(port), m_epoll(::epoll_create1(EPOLL_CLOEXEC)) {}

    void JoinAll() {
        m_members.resize(static_cast<size_t>(kMembers));
        for (int index = 0; index < kMembers; ++index) {
            Member& member = m_members[static_cast<size_t>(index)];
            member.fd = Connect(m_port);
            if (member.fd < 0)
                Fail("connect failed");
            SendAll(member.fd, "GET /Webchat/output.htm?id=" + std::to_string(index + 1) +
                                   " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.u32 = static_cast<uint32_t>(index);
            ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, member.fd, &event);
            // Joining one at a time keeps the room's order and the reloads of each join bounded.
            if (!PumpUntilAllSeen(kJoinedMark, index + 1))
                Fail("member " + std::to_string(index + 1) + " was not welcomed");
        }
    }

    void StopReading(int index) {
        Member& member = m_members[static_cast<size_t>(index)];
        member.reading = false;
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, member.fd, nullptr);
    }

    // Member 1 says a line; the time until every reading member has it, in milliseconds.
    double SayAndWait(const std::string& text) {
        const std::string body = "to=All&speechtext=" + text;
        const std::string post =
            "POST /Webchat/input.htm?id=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
            "application/x-www-form-urlencoded\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body;
        const auto started = Clock::now();
        int fd = Connect(m_port);
        if (fd < 0)
            Fail("connect for a post failed");
        SendAll(fd, post);
        if (!PumpUntilAllSeen(text, kMembers))
            Fail("a line did not reach every member: " + text);
        const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
        ReadToEnd(fd);
        ::close(fd);
        return elapsed;
    }

    // Reads every stream for the time given (keep-alives arrive meanwhile).
    void Pump(std::chrono::seconds time) {
        const auto deadline = Clock::now() + time;
        while (Clock::now() < deadline)
            PumpOnce(200, {});
    }

    void CloseAll() {
        for (Member& member : m_members)
            ::close(member.fd);
    }

private:
    // Reads until the first `count` members that read have all seen mark since the call began.
    bool PumpUntilAllSeen(const std::string& mark, int count) {
        int missing = 0;
        for (int index = 0; index < count; ++index) {
            Member& member = m_members[static_cast<size_t>(index)];
            member.seen = !member.reading;
            member.tail.clear();
            if (member.reading)
                ++missing;
        }
        m_missing = &missing;
        const auto deadline = Clock::now() + kStepLimit;
        while (missing > 0 && Clock::now() < deadline)
            PumpOnce(100, mark);
        m_missing = nullptr;
        return missing == 0;
    }

    void PumpOnce(int waitMs, const std::string& mark) {
        epoll_event events[256];
        int ready = ::epoll_wait(m_epoll, events, 256, waitMs);
        char buffer[65536];
        for (int i = 0; i < ready; ++i) {
            Member& member = m_members[events[i].data.u32];
            ssize_t count = ::recv(member.fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (count == 0)
                Fail("the server closed a member's stream");
            if (count < 0)
                continue;
            if (mark.empty() || member.seen)
                continue;
            member.tail.append(buffer, static_cast<size_t>(count));
            if (member.tail.find(mark) != std::string::npos) {
                member.seen = true;
                if (m_missing)
                    --*m_missing;
            } else if (member.tail.size() > mark.size()) {
                member.tail.erase(0, member.tail.size() - mark.size());
            }
        }
    }

    uint16_t m_port;
    int m_epoll;
    std::vector<Member> m_members;
    int* m_missing = nullptr;
};

void Report(const char* label, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const double p99 = times[std::min(times.size() - 1, static_cast<size_t>(times.size() * 0.99))];
    std::printf(
        "%s: %zu lines to %d members: median %.2f ms, 99th %.2f ms, max %.2f ms (limits 5 ms, 50 ms)\n",
        label, times.size(), kMembers, median, p99, times.back());
}

std::vector<double> FanOut(Room& room, const char* run) {
    std::vector<double> times;
    for (int line = 0; line < kLines; ++line) {
        char text[64];
        std::snprintf(text, sizeof text, "fanout-%s-line-%04d-end", run, line);
        times.push_back(room.SayAndWait(text));
    }
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        Fail("usage: chat_room_load PATH_TO_SARVO_CLI");
    const std::string cli = argv[1];
    char home[] = "/tmp/sarvo-chat-bench.XXXXXX";
    if (!::mkdtemp(home))
        Fail("no temporary folder");
    ::setenv("SARVO_HOME", home, 1);
    const uint16_t port = FreePort();
    const std::string set = cli + " set ";
    if (std::system((set + "listen_ip 127.0.0.1 >/dev/null").c_str()) != 0 ||
        std::system((set + "listen_port " + std::to_string(port) + " >/dev/null").c_str()) != 0)
        Fail("sarvo-cli set failed");

    ServerProcess server;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> words = {cli, "serve", "--quiet", "--webchat=999"};
    std::vector<char*> arguments;
    for (std::string& word : words)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);
    if (posix_spawn(&server.pid, cli.c_str(), &actions, nullptr, arguments.data(), environ) != 0)
        Fail("serve did not start");

    const auto startLimit = Clock::now() + std::chrono::seconds(15);
    while (Get(port, "/Webchat/").find("<FRAMESET") == std::string::npos) {
        if (Clock::now() > startLimit)
            Fail("the chat room did not open");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long rssBefore = server.RssKiB();
    const std::string chatTask = server.ChatThreadTask();
    if (chatTask.empty())
        Fail("no chat thread in the server");

    Room room(port);
    room.JoinAll();
    Report("fan-out, every member reading", FanOut(room, "all"));
    room.StopReading(kMembers / 2);
    Report("fan-out, one member never reading", FanOut(room, "stalled"));

    room.Pump(std::chrono::seconds(2));
    const double cpuBefore = ServerProcess::CpuSeconds(chatTask);
    const auto idleStart = Clock::now();
    room.Pump(std::chrono::seconds(kIdleSeconds));
    const double cpu = ServerProcess::CpuSeconds(chatTask) - cpuBefore;
    const double span = std::chrono::duration<double>(Clock::now() - idleStart).count();
    const long rssAfter = server.RssKiB();
    std::printf(
        "idle room of %d members for %.0f s: chat thread CPU %.4f s = %.3f%% of one core (limit 1%%)\n",
        kMembers, span, cpu, 100.0 * cpu / span);
    std::printf("server RSS %ld KiB before joining, %ld KiB after: %.1f KiB per member (limit 64 KiB)\n",
                rssBefore, rssAfter, static_cast<double>(rssAfter - rssBefore) / kMembers);

    room.CloseAll();
    ::kill(server.pid, SIGTERM);
    int status = 0;
    ::waitpid(server.pid, &status, 0);
    std::filesystem::remove_all(home);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
