#include "ui/UninstallPlan.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "platform/DesktopEntries.h"

extern char** environ;

namespace sarvo {
namespace {

constexpr char kCliProgram[] = "sarvo-cli";
constexpr char kThumbnailProgram[] = "pictorn";
constexpr char kScriptSuffix[] = "-uninstall.sh";
constexpr char kShell[] = "/bin/sh";
// The program ends right after starting the script; a minute of waiting covers a slow exit. After
// that the files go anyway, which the system allows for a running program too.
constexpr int kWaitSteps = 600;
constexpr char kWaitStep[] = "0.1";

std::string ShellQuote(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// PREFIX for PREFIX/bin/program; "" when the program does not lie in a bin folder.
std::filesystem::path InstallPrefix(const std::string& programPath) {
    std::filesystem::path folder = std::filesystem::path(programPath).parent_path();
    return folder.filename() == "bin" ? folder.parent_path() : std::filesystem::path();
}

std::filesystem::path MenuFolder(const std::filesystem::path& prefix) {
    return prefix / "share/applications" / kProgramsMenuFolder;
}

bool IsOwnedAndWritable(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace

InstallFacts ExamineInstall(const std::string& programPath, const std::string& dpkgInfoFolder) {
    InstallFacts facts;
    facts.programPath = programPath;
    facts.folderOwnedByUser = IsOwnedAndWritable(std::filesystem::path(programPath).parent_path().string());
    facts.packageName = FindOwningPackage(programPath, dpkgInfoFolder);
    return facts;
}

InstallKind ClassifyInstall(const InstallFacts& facts) {
    if (!facts.packageName.empty())
        return InstallKind::Packaged;
    if (facts.folderOwnedByUser && !facts.programPath.empty())
        return InstallKind::UserLocal;
    return InstallKind::Foreign;
}

std::string FindOwningPackage(const std::string& path, const std::string& dpkgInfoFolder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dpkgInfoFolder, error)) {
        if (entry.path().extension() != ".list")
            continue;
        std::ifstream list(entry.path());
        for (std::string line; std::getline(list, line);) {
            if (line != path)
                continue;
            std::string name = entry.path().stem().string();
            return name.substr(0, name.find(':'));
        }
    }
    return std::string();
}

std::vector<std::string> InstalledFiles(const std::string& programPath) {
    std::filesystem::path folder = std::filesystem::path(programPath).parent_path();
    std::vector<std::string> files = {programPath, (folder / kCliProgram).string(),
                                      (folder / kThumbnailProgram).string()};
    std::filesystem::path prefix = InstallPrefix(programPath);
    if (prefix.empty())
        return files;
    files.push_back((MenuFolder(prefix) / DesktopEntryFileName(kShortcutName)).string());
    std::string iconFile = kIconName;
    std::filesystem::path icons = prefix / "share/icons/hicolor";
    files.push_back((icons / "scalable/apps" / (iconFile + ".svg")).string());
    for (int size : kInstalledIconSizes) {
        std::string sizeFolder = std::to_string(size) + "x" + std::to_string(size);
        files.push_back((icons / sizeFolder / "apps" / (iconFile + ".png")).string());
    }
    return files;
}

std::vector<std::string> InstalledFolders(const std::string& programPath) {
    std::filesystem::path prefix = InstallPrefix(programPath);
    if (prefix.empty())
        return {};
    return {MenuFolder(prefix).string()};
}

std::string UninstallScriptPath(const std::string& programPath) {
    return programPath + kScriptSuffix;
}

std::string ComposeUninstallScript(pid_t waitFor, const std::vector<std::string>& files,
                                   const std::vector<std::string>& folders, const std::string& scriptPath) {
    std::string pid = std::to_string(waitFor);
    std::string script = "#!/bin/sh\n";
    script += "# Removes Sarvo once its process " + pid + " has ended, then this script.\n";
    script += "steps=0\n";
    script += "while kill -0 " + pid + " 2>/dev/null && [ \"$steps\" -lt " + std::to_string(kWaitSteps) +
              " ]; do\n";
    script += "  sleep " + std::string(kWaitStep) + "\n";
    script += "  steps=$((steps + 1))\n";
    script += "done\n";
    for (const std::string& file : files)
        script += "rm -f -- " + ShellQuote(file) + "\n";
    for (const std::string& folder : folders)
        script += "rmdir -- " + ShellQuote(folder) + " 2>/dev/null\n";
    script += "rm -f -- " + ShellQuote(scriptPath) + "\n";
    return script;
}

bool StartUninstallScript(const std::string& scriptPath, const std::string& scriptText) {
    {
        std::ofstream out(scriptPath, std::ios::binary | std::ios::trunc);
        out << scriptText;
        out.flush();
        if (!out || ::chmod(scriptPath.c_str(), 0700) != 0) {
            std::remove(scriptPath.c_str());
            return false;
        }
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: the script must not end with this process's terminal or process group.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {kShell, scriptPath.c_str(), nullptr};
    pid_t child = 0;
    int error = posix_spawn(&child, kShell, &actions, &attributes, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        std::remove(scriptPath.c_str());
        return false;
    }
    return true;
}

}  // namespace sarvo
