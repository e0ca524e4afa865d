#pragma once

#include <string>
#include <vector>

// Runs a program the way a person or the server would, with its output captured.
namespace sarvo::pictorn::test {

struct ChildResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// argv[0] is the program's path. stdout and stderr go to files in scratchFolder, so neither is a
// terminal, as when the server starts the tool.
ChildResult RunChild(const std::vector<std::string>& argv, const std::string& scratchFolder);

}  // namespace sarvo::pictorn::test
