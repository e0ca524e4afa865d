#pragma once

#include <string>

namespace sarvo::test {

// desktop-file-validate's verdict on a desktop entry: status 0 only for a valid entry, with the
// tool's messages for the failure report.
struct DesktopEntryVerdict {
    int status = -1;
    std::string output;
};

DesktopEntryVerdict ValidateDesktopEntry(const std::string& path);

}  // namespace sarvo::test
