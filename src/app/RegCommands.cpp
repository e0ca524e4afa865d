#include <ostream>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "store/RegFile.h"

namespace sarvo::cli {
namespace {

constexpr char kExportUsage[] =
    "Usage: sarvo-cli export-reg FILE\n"
    "Writes every setting, shared folder, published file and user as a Windows .reg file\n"
    "(HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo), as the Registry Editor writes it.\n"
    "FILE - writes it to standard output.\n";

// The file name that stands for standard output, as other command-line tools read it.
constexpr char kStandardOutputName[] = "-";

constexpr char kImportUsage[] =
    "Usage: sarvo-cli import-reg FILE\n"
    "Reads a .reg file exported on Windows (or by export-reg) into the settings. The file is\n"
    "taken whole or not at all: a bad line is reported and nothing changes.\n";

int RunRegFileCommand(const std::vector<std::string>& arguments, CliStreams streams, const char* usage,
                      bool (*action)(const std::string&, std::string&), const char* done) {
    ParsedArguments parsed;
    std::string error;
    if (!parsed.Parse(arguments, {}, error))
        return Refuse(streams, error);
    if (parsed.WantsHelp()) {
        streams.out << usage;
        return kExitOk;
    }
    if (parsed.Positional().size() != 1)
        return Refuse(streams, "one FILE is needed");
    const std::string& path = parsed.Positional()[0];
    if (!action(path, error))
        return Refuse(streams, path + ": " + error);
    streams.out << done << " " << path << "\n";
    return kExitOk;
}

}  // namespace

int RunExportRegCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    if (arguments.size() == 1 && arguments[0] == kStandardOutputName) {
        std::string bytes;
        std::string error;
        if (!ExportRegBytes(bytes, error))
            return Refuse(streams, error);
        streams.out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return kExitOk;
    }
    return RunRegFileCommand(arguments, streams, kExportUsage, ExportRegFile, "Exported the settings to");
}

int RunImportRegCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    return RunRegFileCommand(arguments, streams, kImportUsage, ImportRegFile, "Imported the settings from");
}

}  // namespace sarvo::cli
