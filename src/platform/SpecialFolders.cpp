#include "platform/SpecialFolders.h"

#include <cstdlib>
#include <filesystem>
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

}  // namespace

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
