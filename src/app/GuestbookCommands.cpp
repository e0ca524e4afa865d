#include <fstream>
#include <ostream>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "common/TextHolder.h"
#include "services/GuestbookOwner.h"

namespace sarvo::cli {
namespace {

constexpr char kGuestbookUsage[] =
    "Usage:\n"
    "  sarvo-cli guestbook list\n"
    "  sarvo-cli guestbook read NAME\n"
    "  sarvo-cli guestbook delete NAME...\n"
    "  sarvo-cli guestbook folder\n"
    "\n"
    "Visitors' messages, one file per message named after the sender's address. list prints, newest\n"
    "first, the name (the sender's address), the time and the message's first 255 bytes on one line,\n"
    "with each line break shown as a pilcrow. read prints one message whole; delete removes messages;\n"
    "folder prints the folder they are kept in. NAME is a name as list prints it. The guestbook is\n"
    "switched on with `sarvo-cli set EnableGuestbook 1`, the owner's alarm with GuestbookAlarm.\n";

// Shown in place of each line break, in the process code page like the message itself.
constexpr char kLineBreakMarkUtf8[] = "\u00b6";

// One line of the list: line breaks become the mark (a CR LF pair one mark), and every other control
// byte a blank, so that a visitor's text cannot move the cursor or recolour the owner's terminal.
std::string PreviewLine(std::string_view preview, const std::string& mark) {
    std::string line;
    for (size_t index = 0; index < preview.size(); ++index) {
        const auto c = static_cast<unsigned char>(preview[index]);
        if (c == '\r' || c == '\n') {
            line += mark;
            if (c == '\r' && index + 1 < preview.size() && preview[index + 1] == '\n')
                ++index;
        } else if (c < 0x20 || c == 0x7f) {
            line += ' ';
        } else {
            line += static_cast<char>(c);
        }
    }
    return line;
}

int ListMessages(CliStreams streams) {
    const Utf8ToAnsi mark(kLineBreakMarkUtf8);
    for (const GuestbookMessageInfo& message : ListGuestbookMessages())
        streams.out << message.sender << "\t" << FormatGuestbookTime(message.lastWriteTime) << "\t"
                    << PreviewLine(message.preview, mark.Str()) << "\n";
    return kExitOk;
}

int ReadMessage(const std::string& name, CliStreams streams) {
    const std::string path = GuestbookMessagePath(name);
    if (path.empty())
        return Refuse(streams, "no guestbook message \"" + name + "\"");
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        streams.err << "sarvo-cli: " << path << " cannot be read\n";
        return kExitFailed;
    }
    streams.out << file.rdbuf();
    streams.out << "\n";
    return kExitOk;
}

int DeleteMessages(const std::vector<std::string>& names, CliStreams streams) {
    int status = kExitOk;
    for (const std::string& name : names) {
        if (DeleteGuestbookMessage(name)) {
            streams.out << "Deleted " << name << "\n";
            continue;
        }
        streams.err << "sarvo-cli: no guestbook message \"" << name << "\" could be deleted\n";
        status = kExitFailed;
    }
    return status;
}

}  // namespace

int RunGuestbookCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    ParsedArguments parsed;
    std::string error;
    if (!parsed.Parse(arguments, {}, error))
        return Refuse(streams, error);
    if (parsed.WantsHelp()) {
        streams.out << kGuestbookUsage;
        return kExitOk;
    }
    const std::vector<std::string>& words = parsed.Positional();
    const std::string verb = words.empty() ? std::string() : words[0];
    const std::vector<std::string> names(words.empty() ? words.end() : words.begin() + 1, words.end());
    if (verb == "list" && names.empty())
        return ListMessages(streams);
    if (verb == "folder" && names.empty()) {
        streams.out << GuestbookMessageFolder() << "\n";
        return kExitOk;
    }
    if (verb == "read" && names.size() == 1)
        return ReadMessage(names[0], streams);
    if (verb == "delete" && !names.empty())
        return DeleteMessages(names, streams);
    return Refuse(
        streams,
        "guestbook needs list, read NAME, delete NAME... or folder (see sarvo-cli guestbook --help)");
}

}  // namespace sarvo::cli
