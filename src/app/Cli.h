#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace sarvo::cli {

// Where a command writes: its results to out, refusals and failures to err.
struct CliStreams {
    std::ostream& out;
    std::ostream& err;
};

// Runs one sarvo-cli command line (without the program name) and returns its exit status.
int RunCli(const std::vector<std::string>& arguments, CliStreams streams);

int RunShareCommand(const std::vector<std::string>& arguments, CliStreams streams);
int RunPublishCommand(const std::vector<std::string>& arguments, CliStreams streams);
int RunGetCommand(const std::vector<std::string>& arguments, CliStreams streams);
int RunSetCommand(const std::vector<std::string>& arguments, CliStreams streams);
int RunUserCommand(const std::vector<std::string>& arguments, CliStreams streams);
int RunExportRegCommand(const std::vector<std::string>& arguments, CliStreams streams);
int RunImportRegCommand(const std::vector<std::string>& arguments, CliStreams streams);
int RunGuestbookCommand(const std::vector<std::string>& arguments, CliStreams streams);
int RunServeCommand(const std::vector<std::string>& arguments, CliStreams streams);
int RunCommunityCommand(const std::vector<std::string>& arguments, CliStreams streams);

// Prints "sarvo-cli: <message>" to err and returns kExitRefused.
int Refuse(CliStreams streams, const std::string& message);

// Turns a path given on the command line into the absolute, normalized form the store keeps.
std::string AbsolutePath(const std::string& path);

}  // namespace sarvo::cli
