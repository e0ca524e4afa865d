#include <ostream>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "common/FolderNames.h"
#include "common/Text.h"
#include "platform/FileSystem.h"
#include "store/Folders.h"

namespace sarvo::cli {
namespace {

constexpr char kShareUsage[] =
    "Usage:\n"
    "  sarvo-cli share add NAME PATH [--no-listing] [--subfolders] [--post] [--zip] [--desc TEXT]\n"
    "  sarvo-cli share list\n"
    "  sarvo-cli share set NAME [--listing|--no-listing] [--subfolders|--no-subfolders]\n"
    "                           [--post|--no-post] [--zip|--no-zip] [--desc TEXT] [--path PATH]\n"
    "                           [--follow-links|--no-follow-links] [--rename NEW-NAME]\n"
    "  sarvo-cli share remove NAME\n"
    "\n"
    "A shared folder is reached at http://server/NAME/. --no-listing hides it from the home page,\n"
    "--subfolders lets visitors open its sub-folders, --post lets them upload files into it and\n"
    "--zip lets them download it as one Zip archive. Symbolic links that lead out of the folder\n"
    "are not followed unless --follow-links is set.\n";

const std::vector<OptionRule> kAddOptions = {
    {"--no-listing", OptionKind::Flag}, {"--subfolders", OptionKind::Flag}, {"--post", OptionKind::Flag},
    {"--zip", OptionKind::Flag},        {"--desc", OptionKind::WithValue},
};

const std::vector<OptionRule> kSetOptions = {
    {"--listing", OptionKind::Flag},      {"--no-listing", OptionKind::Flag},
    {"--subfolders", OptionKind::Flag},   {"--no-subfolders", OptionKind::Flag},
    {"--post", OptionKind::Flag},         {"--no-post", OptionKind::Flag},
    {"--zip", OptionKind::Flag},          {"--no-zip", OptionKind::Flag},
    {"--desc", OptionKind::WithValue},    {"--path", OptionKind::WithValue},
    {"--follow-links", OptionKind::Flag}, {"--no-follow-links", OptionKind::Flag},
    {"--rename", OptionKind::WithValue},
};

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

// Checks a name the way the folder property dialog does; "" when it is acceptable.
std::string NameRefusal(const std::string& name, const std::string& currentName) {
    FolderNameProblem problem = CheckFolderName(name);
    if (problem != FolderNameProblem::None)
        return "cannot share as \"" + name + "\": " + DescribeFolderNameProblem(problem);
    if (!EqualsIgnoreCase(name, currentName) && FolderExists(name))
        return "a folder named \"" + name + "\" is already shared";
    return std::string();
}

std::string LocationRefusal(const std::string& location) {
    if (!IsExistingDirectory(location))
        return "\"" + location + "\" is not a folder";
    if (location.size() > kFolderLocationMax)
        return "the folder's path is longer than 259 characters";
    return std::string();
}

std::string DescriptionRefusal(const std::string& description) {
    if (description.size() > kFolderDescriptionMax)
        return "the description is longer than 80 characters";
    return std::string();
}

// Applies a --flag / --no-flag pair; neither leaves the value alone.
void ApplySwitch(const ParsedArguments& parsed, const char* on, const char* off, bool& value) {
    if (parsed.Has(on))
        value = true;
    if (parsed.Has(off))
        value = false;
}

int AddShare(const ParsedArguments& parsed, CliStreams streams) {
    if (parsed.Positional().size() != 3)
        return Refuse(streams, "share add needs NAME and PATH (see sarvo-cli share --help)");
    SharedFolder folder;
    folder.name = TrimmedCopy(parsed.Positional()[1]);
    folder.location = AbsolutePath(TrimmedCopy(parsed.Positional()[2]));
    folder.description = TrimmedCopy(parsed.Value("--desc"));
    folder.visible = !parsed.Has("--no-listing");
    folder.canBrowseSubfolders = parsed.Has("--subfolders");
    folder.canPostFiles = parsed.Has("--post");
    folder.zipDownload = parsed.Has("--zip");
    for (const std::string& refusal : {NameRefusal(folder.name, ""), LocationRefusal(folder.location),
                                       DescriptionRefusal(folder.description)}) {
        if (!refusal.empty())
            return Refuse(streams, refusal);
    }
    if (!WriteSharedFolder(folder)) {
        streams.err << "sarvo-cli: the settings store could not be written\n";
        return kExitFailed;
    }
    streams.out << "Shared " << folder.location << " as /" << folder.name << "/\n";
    return kExitOk;
}

int ListShares(CliStreams streams) {
    std::string name;
    for (int index = 0; EnumFolderName(index, name); ++index) {
        SharedFolder folder;
        ReadSharedFolder(name, folder);
        streams.out << folder.name << "\t" << folder.location << "\tlisting=" << YesNo(folder.visible)
                    << " subfolders=" << YesNo(folder.canBrowseSubfolders)
                    << " post=" << YesNo(folder.canPostFiles) << " zip=" << YesNo(folder.zipDownload)
                    << " followlinks=" << YesNo(folder.followLinks);
        if (!folder.description.empty())
            streams.out << "\t" << folder.description;
        streams.out << "\n";
    }
    return kExitOk;
}

int SetShare(const ParsedArguments& parsed, CliStreams streams) {
    if (parsed.Positional().size() != 2)
        return Refuse(streams, "share set needs NAME (see sarvo-cli share --help)");
    const std::string currentName = TrimmedCopy(parsed.Positional()[1]);
    SharedFolder folder;
    if (!FolderExists(currentName) || !ReadSharedFolder(currentName, folder))
        return Refuse(streams, "no folder named \"" + currentName + "\" is shared");

    ApplySwitch(parsed, "--listing", "--no-listing", folder.visible);
    ApplySwitch(parsed, "--subfolders", "--no-subfolders", folder.canBrowseSubfolders);
    ApplySwitch(parsed, "--post", "--no-post", folder.canPostFiles);
    ApplySwitch(parsed, "--zip", "--no-zip", folder.zipDownload);
    ApplySwitch(parsed, "--follow-links", "--no-follow-links", folder.followLinks);
    if (parsed.Has("--desc"))
        folder.description = TrimmedCopy(parsed.Value("--desc"));
    std::string refusal = DescriptionRefusal(folder.description);
    if (parsed.Has("--path")) {
        folder.location = AbsolutePath(TrimmedCopy(parsed.Value("--path")));
        if (refusal.empty())
            refusal = LocationRefusal(folder.location);
    }
    if (parsed.Has("--rename")) {
        folder.name = TrimmedCopy(parsed.Value("--rename"));
        if (refusal.empty())
            refusal = NameRefusal(folder.name, currentName);
    }
    if (!refusal.empty())
        return Refuse(streams, refusal);

    // A rename is a delete and a create in one step, so the values never exist under two names.
    bool stored =
        folder.name == currentName ? WriteSharedFolder(folder) : RenameSharedFolder(currentName, folder);
    if (!stored) {
        streams.err << "sarvo-cli: the settings store could not be written\n";
        return kExitFailed;
    }
    streams.out << "Updated /" << folder.name << "/\n";
    return kExitOk;
}

int RemoveShare(const ParsedArguments& parsed, CliStreams streams) {
    if (parsed.Positional().size() != 2)
        return Refuse(streams, "share remove needs NAME");
    const std::string name = TrimmedCopy(parsed.Positional()[1]);
    if (!FolderExists(name))
        return Refuse(streams, "no folder named \"" + name + "\" is shared");
    if (!RemoveFolder(name)) {
        streams.err << "sarvo-cli: the settings store could not be written\n";
        return kExitFailed;
    }
    streams.out << "Removed /" << name << "/\n";
    return kExitOk;
}

}  // namespace

int RunShareCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    const std::string verb = arguments.empty() ? std::string() : arguments[0];
    ParsedArguments parsed;
    std::string error;
    const auto& rules = verb == "set" ? kSetOptions : kAddOptions;
    if (!parsed.Parse(arguments, rules, error))
        return Refuse(streams, error);
    if (parsed.WantsHelp() || verb.empty()) {
        streams.out << kShareUsage;
        return verb.empty() && !parsed.WantsHelp() ? kExitRefused : kExitOk;
    }
    if (verb == "add")
        return AddShare(parsed, streams);
    if (verb == "list")
        return ListShares(streams);
    if (verb == "set")
        return SetShare(parsed, streams);
    if (verb == "remove")
        return RemoveShare(parsed, streams);
    return Refuse(streams, "unknown share command " + verb + " (see sarvo-cli share --help)");
}

}  // namespace sarvo::cli
