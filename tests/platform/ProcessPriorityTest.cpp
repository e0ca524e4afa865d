#include "platform/ProcessPriority.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "ChildProcess.h"

namespace sarvo {
namespace {

constexpr uid_t kNobody = 65534;

constexpr int kCapSysNice = 23;

// Root in a container often lacks CAP_SYS_NICE, so the effective capability set decides, not the uid.
bool HasCapSysNice() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("CapEff:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> kCapSysNice) & 1;
    }
    return false;
}

std::string PolicyName(int policy) {
    switch (policy) {
        case SCHED_OTHER:
            return "other";
        case SCHED_IDLE:
            return "idle";
        default:
            return "policy " + std::to_string(policy);
    }
}

std::string PriorityName(std::optional<ProcessPriority> priority) {
    if (!priority)
        return "none";
    return *priority == ProcessPriority::Idle ? "Idle" : "Normal";
}

// Each case changes the priority of a forked child only; the test process keeps its own.
TEST(ProcessPriorityTest, IdleAppliesNiceAndPolicyToEveryThread) {
    std::string report = test::RunInChild([] {
        // A thread that exists before the change must be changed too: Linux keeps both per thread.
        std::mutex lock;
        std::condition_variable changed;
        bool done = false;
        std::string fromThread;
        std::thread worker([&] {
            std::unique_lock<std::mutex> hold(lock);
            changed.wait(hold, [&] { return done; });
            fromThread = std::to_string(CurrentNiceValue()) + " " + PolicyName(sched_getscheduler(0));
        });
        bool result = SetProcessPriority(ProcessPriority::Idle);
        {
            std::lock_guard<std::mutex> hold(lock);
            done = true;
        }
        changed.notify_all();
        worker.join();
        return std::string(result ? "true" : "false") + " " + std::to_string(CurrentNiceValue()) + " " +
               PolicyName(sched_getscheduler(0)) + " " + PriorityName(CurrentProcessPriority()) + " | " +
               fromThread;
    });
    EXPECT_EQ(report, "true 19 idle Idle | 19 idle");
}

TEST(ProcessPriorityTest, NormalRestoresNiceZeroWhenPrivileged) {
    std::string report = test::RunInChild([] {
        SetProcessPriority(ProcessPriority::Idle);
        rlimit limit{};
        ::getrlimit(RLIMIT_NICE, &limit);
        // Privilege is CAP_SYS_NICE or a nice limit that allows nice 0 again (20 - limit <= 0).
        bool privileged = HasCapSysNice() || limit.rlim_cur >= 20;
        bool result = SetProcessPriority(ProcessPriority::Normal);
        return std::string(privileged ? "privileged " : "unprivileged ") + (result ? "true " : "false ") +
               std::to_string(CurrentNiceValue()) + " " + PolicyName(sched_getscheduler(0)) + " " +
               PriorityName(CurrentProcessPriority());
    });
    bool privileged = report.rfind("privileged ", 0) == 0;
    EXPECT_EQ(report, privileged ? "privileged true 0 other Normal" : "unprivileged false 19 idle Idle");
}

TEST(ProcessPriorityTest, NormalWithoutPrivilegeReportsFalseAndStaysIdle) {
    std::string report = test::RunInChild([] {
        // Become an ordinary user with no room to lower the nice value, whatever the tests run as.
        rlimit none{0, 0};
        if (::setrlimit(RLIMIT_NICE, &none) != 0)
            return std::string("setrlimit failed");
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            return std::string("setuid failed");
        bool idle = SetProcessPriority(ProcessPriority::Idle);
        bool normal = SetProcessPriority(ProcessPriority::Normal);
        return std::string(idle ? "true " : "false ") + (normal ? "true " : "false ") +
               std::to_string(CurrentNiceValue()) + " " + PriorityName(CurrentProcessPriority());
    });
    EXPECT_EQ(report, "true false 19 Idle");
}

TEST(ProcessPriorityTest, OtherNiceValuesAreNeitherClass) {
    std::string report = test::RunInChild([] {
        ::setpriority(PRIO_PROCESS, 0, 5);
        return std::to_string(CurrentNiceValue()) + " " + PriorityName(CurrentProcessPriority());
    });
    EXPECT_EQ(report, "5 none");
}

}  // namespace
}  // namespace sarvo
