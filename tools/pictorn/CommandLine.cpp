#include "CommandLine.h"

namespace sarvo::pictorn {

CommandLineAction ParseCommandLine(std::span<const std::string_view> args, PictornOptions& out,
                                   std::string& problem) {
    // "--" lets a folder whose name starts with '-' through.
    bool optionsEnded = false;
    std::string_view values[2];
    size_t valueCount = 0;
    for (std::string_view arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            return CommandLineAction::ShowHelp;
        }
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            problem = "unknown option " + std::string(arg);
            return CommandLineAction::Refuse;
        }
        if (valueCount == 2) {
            problem = "too many arguments";
            return CommandLineAction::Refuse;
        }
        values[valueCount++] = arg;
    }
    if (valueCount == 0 || values[0].empty()) {
        problem = "no folder given";
        return CommandLineAction::Refuse;
    }
    out.folder = std::string(values[0]);
    // The server always passes the flag; left out at a terminal it means the folder alone.
    out.subFolders = SubFolders::Skip;
    if (valueCount == 2) {
        if (values[1] == "1") {
            out.subFolders = SubFolders::Include;
        } else if (values[1] != "0") {
            problem = "the second argument must be 1 (with sub-folders) or 0, not \"" +
                      std::string(values[1]) + "\"";
            return CommandLineAction::Refuse;
        }
    }
    return CommandLineAction::Run;
}

std::string UsageText(std::string_view formats) {
    std::string text =
        "Usage: pictorn FOLDER [1|0]\n"
        "Makes the thumbnail index \"pixindex.$$$\" of FOLDER: a preview of at most 120 x 120 pixels of\n"
        "every picture in it, which the web server shows as the folder's \"Image Thumbnails\" page.\n"
        "\n"
        "  1           also index every sub-folder, each with an index of its own\n"
        "  0           only FOLDER itself (the default)\n"
        "  -h, --help  show this text\n"
        "\n"
        "Pictures are found by their name's ending, in any case: ";
    text += formats;
    text +=
        ".\n"
        "Hidden files and folders (names starting with '.') are left out. A picture that cannot be read\n"
        "is named on the error output and left out of the index; a folder without pictures gets no\n"
        "index, and an old one is removed. A folder on read-only media gets its index in the per-user\n"
        "cache folder, where the server looks for it.\n"
        "\n"
        "Exit codes: 0 every index written, 1 an index could not be written, 2 bad arguments or no such\n"
        "folder, 130 interrupted (no index is left half written).\n";
    return text;
}

}  // namespace sarvo::pictorn
