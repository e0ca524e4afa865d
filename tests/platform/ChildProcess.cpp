#include "ChildProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace sarvo::test {

std::string RunInChild(const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0)
        return "child failed: pipe";
    pid_t child = ::fork();
    if (child < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return "child failed: fork";
    }
    if (child == 0) {
        ::close(channel[0]);
        std::string report = body();
        size_t written = 0;
        while (written < report.size()) {
            ssize_t count = ::write(channel[1], report.data() + written, report.size() - written);
            if (count <= 0)
                ::_exit(2);
            written += static_cast<size_t>(count);
        }
        // _exit: the child must not run the test framework's exit handlers a second time.
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char buffer[512];
    for (;;) {
        ssize_t count = ::read(channel[0], buffer, sizeof buffer);
        if (count > 0)
            report.append(buffer, static_cast<size_t>(count));
        else if (count == 0 || errno != EINTR)
            break;
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child failed: status " + std::to_string(status);
    return report;
}

}  // namespace sarvo::test
