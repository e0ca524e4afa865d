#include "support/DesktopEntryCheck.h"

#include <cstdio>

namespace sarvo::test {

DesktopEntryVerdict ValidateDesktopEntry(const std::string& path) {
    DesktopEntryVerdict verdict;
    std::string command = "desktop-file-validate '" + path + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return verdict;
    char buffer[256];
    while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe))
        verdict.output.append(buffer, count);
    verdict.status = ::pclose(pipe);
    return verdict;
}

}  // namespace sarvo::test
