#include "platform/SpecialFolders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/FileSystem.h"

namespace sarvo {
namespace {

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string SarvoHome() {
    return EnvironmentValue("SARVO_HOME");
}

std::string HomeFolder() {
    std::string home = EnvironmentValue("HOME");
    return home.empty() ? std::string("/") : home;
}

// An XDG variable counts only when it holds an absolute path, as the XDG rules say.
std::string XdgFolder(const char* variable, const char* fallbackUnderHome) {
    std::string value = EnvironmentValue(variable);
    if (!value.empty() && value[0] == '/')
        return value;
    return HomeFolder() + "/" + fallbackUnderHome;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The value of one user-dirs.dirs line: a double-quoted shell word in which a backslash escapes the
// next character, as xdg-user-dirs-update writes it.
std::string UnquoteShellWord(std::string_view word) {
    if (word.size() < 2 || word.front() != '"' || word.back() != '"')
        return std::string(word);
    std::string value;
    for (size_t i = 1; i + 1 < word.size(); ++i) {
        if (word[i] == '\\' && i + 2 < word.size())
            ++i;
        value += word[i];
    }
    return value;
}

}  // namespace

std::string FindUserDir(std::string_view userDirsText, std::string_view key, const std::string& home) {
    std::string wanted = "XDG_" + std::string(key) + "_DIR=";
    std::string found;
    std::istringstream lines{std::string(userDirsText)};
    // The file is sourced by a shell, so the last assignment wins.
    for (std::string line; std::getline(lines, line);) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, wanted.size(), wanted) != 0)
            continue;
        std::string_view word(line);
        word.remove_prefix(start + wanted.size());
        while (!word.empty() && (word.back() == ' ' || word.back() == '\t' || word.back() == '\r'))
            word.remove_suffix(1);
        found = UnquoteShellWord(word);
    }
    constexpr std::string_view kHomeVariable = "$HOME";
    if (found.compare(0, kHomeVariable.size(), kHomeVariable) == 0 &&
        (found.size() == kHomeVariable.size() || found[kHomeVariable.size()] == '/'))
        found = home + found.substr(kHomeVariable.size());
    if (found.empty() || found[0] != '/')
        return std::string();
    return found;
}

std::string GetConfigFolderPath() {
    std::string home = SarvoHome();
    if (!home.empty())
        return home;
    return XdgFolder("XDG_CONFIG_HOME", ".config") + "/sarvo";
}

std::string GetMyDocumentsPath() {
    std::string home = SarvoHome();
    if (!home.empty())
        return home;
    std::string documents = EnvironmentValue("XDG_DOCUMENTS_DIR");
    if (!documents.empty() && documents[0] == '/')
        return documents;
    std::string fallback = HomeFolder() + "/Documents";
    return IsExistingDirectory(fallback) ? fallback : HomeFolder();
}

std::string GetAppDataPath() {
    std::string home = SarvoHome();
    if (!home.empty())
        return home + "/appdata";
    return XdgFolder("XDG_DATA_HOME", ".local/share") + "/sarvo";
}

std::string GetDesktopPath() {
    std::string home = SarvoHome();
    if (!home.empty())
        return home + "/Desktop";
    std::string userDirsFile = XdgFolder("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs";
    std::string named = FindUserDir(ReadWholeFile(userDirsFile), "DESKTOP", HomeFolder());
    if (!named.empty())
        return named;
    return XdgFolder("XDG_DESKTOP_DIR", "Desktop");
}

std::string GetProgramsMenuPath() {
    std::string home = SarvoHome();
    if (!home.empty())
        return home + "/applications";
    return XdgFolder("XDG_DATA_HOME", ".local/share") + "/applications";
}

bool EnsureFolderExists(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return IsExistingDirectory(path);
}

}  // namespace sarvo
