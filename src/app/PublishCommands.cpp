#include <ostream>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "common/Text.h"
#include "platform/FileSystem.h"
#include "store/PublishedFiles.h"

namespace sarvo::cli {
namespace {

constexpr size_t kPublishedPathMax = 259;

constexpr char kPublishUsage[] =
    "Usage:\n"
    "  sarvo-cli publish FILE\n"
    "  sarvo-cli publish list\n"
    "  sarvo-cli publish set NAME [--realtime|--no-realtime] [--newest PATTERN|--no-newest]\n"
    "  sarvo-cli publish remove NAME\n"
    "\n"
    "A published file is reached at http://server/NAME under a name taken from its file name\n"
    "(a second file of the same name becomes name[1].ext). --realtime streams what is appended to\n"
    "the file; --newest follows the newest file of the same folder that matches PATTERN.\n";

const std::vector<OptionRule> kSetOptions = {
    {"--realtime", OptionKind::Flag},
    {"--no-realtime", OptionKind::Flag},
    {"--newest", OptionKind::WithValue},
    {"--no-newest", OptionKind::Flag},
};

int StoreFailure(CliStreams streams) {
    streams.err << "sarvo-cli: the settings store could not be written\n";
    return kExitFailed;
}

int PublishNewFile(const std::string& given, CliStreams streams) {
    const std::string path = AbsolutePath(TrimmedCopy(given));
    if (!IsExistingFile(path))
        return Refuse(streams, "\"" + path + "\" is not a file");
    if (path.size() > kPublishedPathMax)
        return Refuse(streams, "the file's path is longer than 259 characters");
    auto entry = PublishFile(path);
    if (!entry)
        return StoreFailure(streams);
    streams.out << "Published " << path << " as /" << entry->name << "\n";
    return kExitOk;
}

int ListPublished(CliStreams streams) {
    for (int index = 0;; ++index) {
        auto entry = EnumPublishedFile(index);
        if (!entry)
            break;
        const PublishedFileRecord& record = entry->record;
        streams.out << entry->name << "\t" << record.path
                    << "\trealtime=" << (record.realTime ? "yes" : "no");
        if (record.useNewest)
            streams.out << " newest="
                        << (record.searchPattern.empty() ? "*.<extension>" : record.searchPattern);
        streams.out << "\n";
    }
    return kExitOk;
}

int SetPublished(const ParsedArguments& parsed, CliStreams streams) {
    if (parsed.Positional().size() != 2)
        return Refuse(streams, "publish set needs NAME (see sarvo-cli publish --help)");
    const std::string& name = parsed.Positional()[1];
    auto record = GetPublishedFile(name);
    if (!record)
        return Refuse(streams, "no file is published as \"" + name + "\"");
    if (parsed.Has("--realtime"))
        record->realTime = 1;
    if (parsed.Has("--no-realtime"))
        record->realTime = 0;
    if (parsed.Has("--newest")) {
        std::string pattern = TrimmedCopy(parsed.Value("--newest"));
        if (pattern.size() > kPublishedPathMax)
            return Refuse(streams, "the search pattern is longer than 259 characters");
        if (pattern.find_first_of("/\\") != std::string::npos)
            return Refuse(streams,
                          "the search pattern names files of the file's own folder; it holds no '/'");
        record->useNewest = 1;
        record->searchPattern = pattern;
    }
    if (parsed.Has("--no-newest"))
        record->useNewest = 0;
    if (!SetPublishedFile(name, *record))
        return StoreFailure(streams);
    streams.out << "Updated /" << name << "\n";
    return kExitOk;
}

int RemovePublished(const ParsedArguments& parsed, CliStreams streams) {
    if (parsed.Positional().size() != 2)
        return Refuse(streams, "publish remove needs NAME");
    const std::string& name = parsed.Positional()[1];
    if (!GetPublishedFile(name))
        return Refuse(streams, "no file is published as \"" + name + "\"");
    if (!RemovePublishedFile(name))
        return StoreFailure(streams);
    streams.out << "Removed /" << name << "\n";
    return kExitOk;
}

}  // namespace

int RunPublishCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    ParsedArguments parsed;
    std::string error;
    if (!parsed.Parse(arguments, kSetOptions, error))
        return Refuse(streams, error);
    const auto& positional = parsed.Positional();
    if (parsed.WantsHelp() || positional.empty()) {
        streams.out << kPublishUsage;
        return parsed.WantsHelp() ? kExitOk : kExitRefused;
    }
    const std::string& verb = positional[0];
    if (verb == "list" && positional.size() == 1)
        return ListPublished(streams);
    if (verb == "set")
        return SetPublished(parsed, streams);
    if (verb == "remove")
        return RemovePublished(parsed, streams);
    if (positional.size() == 1 && (parsed.Has("--realtime") || parsed.Has("--newest")))
        return Refuse(streams, "publish FILE takes no options; use publish set NAME afterwards");
    if (positional.size() == 1)
        return PublishNewFile(verb, streams);
    return Refuse(streams, "unknown publish command (see sarvo-cli publish --help)");
}

}  // namespace sarvo::cli
