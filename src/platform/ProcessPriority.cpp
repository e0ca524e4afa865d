#include "platform/ProcessPriority.h"

#include <dirent.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

namespace sarvo {
namespace {

constexpr char kTaskFolder[] = "/proc/self/task";

struct FolderCloser {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

// On Linux the nice value and the scheduling policy belong to each thread, not to the process as
// POSIX says, and a new thread copies them from the thread that starts it. Setting every thread
// listed in /proc/self/task gives the process-wide class the owner asked for. Without /proc only
// the calling thread (0) is set.
std::vector<pid_t> ThreadIds() {
    std::vector<pid_t> ids;
    std::unique_ptr<DIR, FolderCloser> folder(::opendir(kTaskFolder));
    if (!folder)
        return {0};
    while (const dirent* entry = ::readdir(folder.get())) {
        char* end = nullptr;
        long id = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && id > 0)
            ids.push_back(static_cast<pid_t>(id));
    }
    return ids.empty() ? std::vector<pid_t>{0} : ids;
}

// A thread that ended between the listing and the call is no failure.
bool SetThreadNice(pid_t thread, int nice) {
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice) == 0 || errno == ESRCH;
}

// The policy is a refinement: a system that refuses it still gets the nice value, so its result
// is not reported.
void SetThreadPolicy(pid_t thread, int policy) {
    sched_param parameters{};
    parameters.sched_priority = 0;
    ::sched_setscheduler(thread, policy, &parameters);
}

}  // namespace

bool SetProcessPriority(ProcessPriority priority) {
    const bool idle = priority == ProcessPriority::Idle;
    const int nice = idle ? kIdleNiceValue : kNormalNiceValue;
    const int policy = idle ? SCHED_IDLE : SCHED_OTHER;
    bool allSet = true;
    for (pid_t thread : ThreadIds()) {
        allSet = SetThreadNice(thread, nice) && allSet;
        SetThreadPolicy(thread, policy);
    }
    return allSet;
}

int CurrentNiceValue() {
    // -1 is a valid nice value, so only errno tells a failure apart.
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, 0);
    return errno == 0 ? nice : 0;
}

std::optional<ProcessPriority> CurrentProcessPriority() {
    int nice = CurrentNiceValue();
    if (nice == kIdleNiceValue)
        return ProcessPriority::Idle;
    if (nice == kNormalNiceValue)
        return ProcessPriority::Normal;
    return std::nullopt;
}

}  // namespace sarvo
