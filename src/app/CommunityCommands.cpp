#include <ostream>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "services/CommunityLogins.h"
#include "services/CommunityOwner.h"

namespace sarvo::cli {
namespace {

constexpr char kCommunityUsage[] =
    "Usage:\n"
    "  As host (the members log in to this server):\n"
    "  sarvo-cli community members                 lists the members: ID, name, URL, last login, "
    "description\n"
    "  sarvo-cli community add-member ID           creates a member ID (3 to 64 characters)\n"
    "  sarvo-cli community remove-member ID...\n"
    "  As member (this server logs in to hosts):\n"
    "  sarvo-cli community hosts                   lists the communities this server belongs to\n"
    "  sarvo-cli community join --login-url URL --id ID [--name N] [--page P] [--icon I] [--desc D]\n"
    "  sarvo-cli community update ID [--login-url URL] [--name N] [--page P] [--icon I] [--desc D]\n"
    "  sarvo-cli community leave ID...\n"
    "  sarvo-cli community login                   logs in to every host now and prints each outcome\n"
    "The page is \"\" for the site's root, a published folder's name followed by '/', Webchat/,\n"
    "WebCommunity/ or a published file's name; the icon is a published image file. Switch the roles on\n"
    "with `sarvo-cli set AsWebCommHost 1` and `sarvo-cli set AsWebCommMember 1`; the community's name\n"
    "and description as host are the settings WebCommNameAsHost and WebCommDescAsHost.\n";

constexpr char kNever[] = "-";

const std::vector<OptionRule> kHostOptions = {
    {"--login-url", OptionKind::WithValue}, {"--id", OptionKind::WithValue},
    {"--name", OptionKind::WithValue},      {"--page", OptionKind::WithValue},
    {"--icon", OptionKind::WithValue},      {"--desc", OptionKind::WithValue},
};

std::string LastLoginText(const SystemTime& time) {
    return time == SystemTime{} ? std::string(kNever) : FormatLastLogin(time);
}

int Done(CliStreams streams, const std::string& refusal, const std::string& doneText) {
    if (!refusal.empty())
        return Refuse(streams, refusal);
    streams.out << doneText << "\n";
    return kExitOk;
}

int ListMembers(CliStreams streams) {
    streams.out << "ID\tName\tURL\tLast Login\tDescription\n";
    for (const CommunityMember& member : ListCommunityMembers())
        streams.out << member.id << "\t" << member.name << "\t" << member.url << "\t"
                    << LastLoginText(member.lastLogin) << "\t" << member.description << "\n";
    return kExitOk;
}

int ListHosts(CliStreams streams) {
    for (const CommunityHost& host : ListCommunityHosts()) {
        streams.out << "Member ID: " << host.id << "\n"
                    << "  Member Name: " << host.memberName << "\n"
                    << "  Member Description: " << host.memberDescription << "\n"
                    << "  Page: " << host.page << "\n"
                    << "  Icon: " << host.icon << "\n"
                    << "  Login URL: " << host.loginUrl << "\n"
                    << "  Last Login: " << LastLoginText(host.lastLogin) << "\n"
                    << "  Host Name: " << host.hostName << "\n"
                    << "  Host Page: " << host.hostPage << "\n"
                    << "  Host Description: " << host.hostDescription << "\n";
    }
    return kExitOk;
}

// The options given replace the record's fields; the others keep theirs.
void ApplyHostOptions(const ParsedArguments& parsed, CommunityHost& host) {
    const std::pair<const char*, std::string*> fields[] = {
        {"--login-url", &host.loginUrl}, {"--id", &host.id},     {"--name", &host.memberName},
        {"--page", &host.page},          {"--icon", &host.icon}, {"--desc", &host.memberDescription},
    };
    for (const auto& [option, field] : fields) {
        if (parsed.Has(option))
            *field = parsed.Value(option);
    }
}

int JoinCommunity(const ParsedArguments& parsed, CliStreams streams) {
    if (parsed.Positional().size() != 1 || !parsed.Has("--login-url") || !parsed.Has("--id"))
        return Refuse(streams, "community join needs --login-url URL and --id ID");
    CommunityHost host;
    ApplyHostOptions(parsed, host);
    return Done(streams, AddCommunityHostRecord(host), "Host record " + host.id + " stored");
}

int UpdateCommunity(const ParsedArguments& parsed, CliStreams streams) {
    if (parsed.Positional().size() != 2 || parsed.Has("--id"))
        return Refuse(streams, "community update needs the ID of one host record (and takes no --id)");
    std::optional<CommunityHost> host = FindCommunityHost(parsed.Positional()[1]);
    if (!host)
        return Refuse(streams,
                      "there is no host record with the member ID \"" + parsed.Positional()[1] + "\"");
    ApplyHostOptions(parsed, *host);
    return Done(streams, UpdateCommunityHostRecord(*host), "Host record " + host->id + " updated");
}

int LoginNow(CliStreams streams) {
    int status = kExitOk;
    for (const CommunityLoginReport& report : RunCommunityLoginPass()) {
        if (report.outcome.kind == LoginOutcome::Kind::Accepted) {
            streams.out << report.id << ": accepted by " << report.outcome.text << "\n";
            continue;
        }
        streams.out << report.id << ": failed: " << report.outcome.text << "\n";
        status = kExitFailed;
    }
    return status;
}

}  // namespace

int RunCommunityCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    ParsedArguments parsed;
    std::string error;
    if (!parsed.Parse(arguments, kHostOptions, error))
        return Refuse(streams, error);
    const auto& positional = parsed.Positional();
    if (parsed.WantsHelp() || positional.empty()) {
        streams.out << kCommunityUsage;
        return parsed.WantsHelp() ? kExitOk : kExitRefused;
    }
    const std::string& command = positional[0];
    const std::vector<std::string> ids(positional.begin() + 1, positional.end());
    const bool hostOptions = parsed.Has("--login-url") || parsed.Has("--id") || parsed.Has("--name") ||
                             parsed.Has("--page") || parsed.Has("--icon") || parsed.Has("--desc");
    if (command == "join")
        return JoinCommunity(parsed, streams);
    if (command == "update")
        return UpdateCommunity(parsed, streams);
    if (hostOptions)
        return Refuse(streams, "only community join and community update take options");
    if (command == "members" && ids.empty())
        return ListMembers(streams);
    if (command == "add-member" && ids.size() == 1)
        return Done(streams, AddCommunityMemberId(ids[0]), "Member " + ids[0] + " added");
    if (command == "remove-member" && !ids.empty())
        return Done(streams, RemoveCommunityMemberIds(ids), "Members removed");
    if (command == "hosts" && ids.empty())
        return ListHosts(streams);
    if (command == "leave" && !ids.empty())
        return Done(streams, RemoveCommunityHostIds(ids), "Host records removed");
    if (command == "login" && ids.empty())
        return LoginNow(streams);
    return Refuse(streams, "unknown community command or wrong arguments (see sarvo-cli community --help)");
}

}  // namespace sarvo::cli
