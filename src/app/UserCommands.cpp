#include <ostream>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "common/Text.h"
#include "store/Users.h"

namespace sarvo::cli {
namespace {

constexpr char kUserUsage[] =
    "Usage:\n"
    "  sarvo-cli user add NAME PASSWORD   adds a user or changes the user's password\n"
    "  sarvo-cli user remove NAME\n"
    "  sarvo-cli user list\n"
    "Users and passwords guard the whole site when \"Use Passwords\" is set to 1.\n";

bool UserExists(const std::string& wanted) {
    std::string name;
    std::string password;
    for (int index = 0; EnumerateUser(index, name, password); ++index) {
        if (EqualsIgnoreCase(name, wanted))
            return true;
    }
    return false;
}

int AddUser(const std::vector<std::string>& positional, CliStreams streams) {
    if (positional.size() != 3)
        return Refuse(streams, "user add needs NAME and PASSWORD");
    const std::string& name = positional[1];
    const std::string& password = positional[2];
    if (name.empty())
        return Refuse(streams, "a user name cannot be empty");
    if (name.size() > kUserFieldMax || password.size() > kUserFieldMax)
        return Refuse(streams, "user names and passwords hold at most 254 characters");
    if (!SetUser(name, password)) {
        streams.err << "sarvo-cli: the settings store could not be written\n";
        return kExitFailed;
    }
    streams.out << "User " << name << " stored\n";
    return kExitOk;
}

int RemoveOneUser(const std::vector<std::string>& positional, CliStreams streams) {
    if (positional.size() != 2)
        return Refuse(streams, "user remove needs NAME");
    if (!UserExists(positional[1]))
        return Refuse(streams, "there is no user named \"" + positional[1] + "\"");
    if (!RemoveUser(positional[1])) {
        streams.err << "sarvo-cli: the settings store could not be written\n";
        return kExitFailed;
    }
    streams.out << "User " << positional[1] << " removed\n";
    return kExitOk;
}

int ListUsers(CliStreams streams) {
    std::string name;
    std::string password;
    for (int index = 0; EnumerateUser(index, name, password); ++index)
        streams.out << name << "\n";
    return kExitOk;
}

}  // namespace

int RunUserCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    ParsedArguments parsed;
    std::string error;
    if (!parsed.Parse(arguments, {}, error))
        return Refuse(streams, error);
    const auto& positional = parsed.Positional();
    if (parsed.WantsHelp() || positional.empty()) {
        streams.out << kUserUsage;
        return parsed.WantsHelp() ? kExitOk : kExitRefused;
    }
    if (positional[0] == "add")
        return AddUser(positional, streams);
    if (positional[0] == "remove")
        return RemoveOneUser(positional, streams);
    if (positional[0] == "list" && positional.size() == 1)
        return ListUsers(streams);
    return Refuse(streams, "unknown user command (see sarvo-cli user --help)");
}

}  // namespace sarvo::cli
