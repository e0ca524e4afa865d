#include "platform/DesktopEntries.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"

extern char** environ;

namespace sarvo {
namespace {

constexpr char kEntryExtension[] = ".desktop";
constexpr char kScalableIconUnderPrefix[] = "/share/icons/hicolor/scalable/apps/sarvo.svg";
// The entry must stay executable for the owner; the rest of the world may read it.
constexpr mode_t kDesktopEntryMode = 0755;
constexpr mode_t kMenuEntryMode = 0644;
// gio talks to the session's metadata service, which may be absent or slow to answer.
constexpr auto kHelperTimeLimit = std::chrono::milliseconds(2000);
constexpr auto kHelperPollStep = std::chrono::milliseconds(20);

// The desktop entry escapes of a string value: backslash, newline, tab and carriage return.
std::string EscapeStringValue(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

bool WriteFileReplacing(const std::string& path, const std::string& text, mode_t mode) {
    // Written beside the entry and renamed over it, so that a file manager never reads half a file.
    std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::remove(partial.c_str());
            return false;
        }
    }
    if (::chmod(partial.c_str(), mode) != 0 || ::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return false;
    }
    return true;
}

// Runs a helper program with its output discarded; true when it exits 0 within the time limit.
bool RunHelper(const char* const* argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    int error = posix_spawnp(&child, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return false;
    auto deadline = std::chrono::steady_clock::now() + kHelperTimeLimit;
    int status = 0;
    for (;;) {
        pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(kHelperPollStep);
    }
    ::kill(child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
}

// GNOME's desktop asks before it starts a launcher that is not marked trusted. Without gio, or
// without the metadata service, the entry still works after the owner confirms once.
void MarkTrusted(const std::string& path) {
    const char* argv[] = {"gio", "set", "-t", "string", path.c_str(), "metadata::trusted", "true", nullptr};
    RunHelper(argv);
}

bool RemoveFile(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
    return !std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace

std::string DesktopEntryFileName(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower + kEntryExtension;
}

Shortcut ProgramShortcut() {
    return Shortcut{kShortcutName, GetProgramPath(), kShortcutDescription};
}

std::string GetProgramPath() {
    std::error_code error;
    std::filesystem::path own = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : own.string();
}

std::string DesktopShortcutPath(const Shortcut& shortcut) {
    if (shortcut.name.empty())
        return std::string();
    return GetDesktopPath() + "/" + DesktopEntryFileName(shortcut.name);
}

std::string StartMenuFolderPath() {
    return GetProgramsMenuPath() + "/" + kProgramsMenuFolder;
}

std::string StartMenuShortcutPath(const Shortcut& shortcut) {
    if (shortcut.name.empty())
        return std::string();
    return StartMenuFolderPath() + "/" + DesktopEntryFileName(shortcut.name);
}

std::string DesktopEntryIcon(const std::string& programPath) {
    std::filesystem::path folder = std::filesystem::path(programPath).parent_path();
    if (folder.filename() == "bin") {
        std::string installed = folder.parent_path().string() + kScalableIconUnderPrefix;
        if (IsExistingFile(installed))
            return installed;
    }
    return kIconName;
}

std::string QuoteExecArgument(const std::string& argument) {
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    bool needsQuotes = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
    std::string quoted;
    if (needsQuotes)
        quoted += '"';
    for (char c : argument) {
        if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\'))
            quoted += '\\';
        // A percent sign would start a field code.
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    if (needsQuotes)
        quoted += '"';
    return EscapeStringValue(quoted);
}

std::string ComposeDesktopEntry(const Shortcut& shortcut, const std::string& icon) {
    std::string target = shortcut.target.empty() ? GetProgramPath() : shortcut.target;
    const std::string& description = shortcut.description.empty() ? shortcut.name : shortcut.description;
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Version=1.0\n";
    text += "Name=" + EscapeStringValue(shortcut.name) + "\n";
    text += "Comment=" + EscapeStringValue(description) + "\n";
    text += "Exec=" + QuoteExecArgument(target) + "\n";
    text += "Icon=" + EscapeStringValue(icon) + "\n";
    text += "Terminal=false\n";
    text += "Categories=Network;\n";
    return text;
}

bool CreateDesktopShortcut(const Shortcut& shortcut) {
    std::string path = DesktopShortcutPath(shortcut);
    if (path.empty() || !EnsureFolderExists(GetDesktopPath()))
        return false;
    std::string target = shortcut.target.empty() ? GetProgramPath() : shortcut.target;
    if (!WriteFileReplacing(path, ComposeDesktopEntry(shortcut, DesktopEntryIcon(target)), kDesktopEntryMode))
        return false;
    MarkTrusted(path);
    return true;
}

bool CreateStartMenuShortcut(const Shortcut& shortcut) {
    std::string path = StartMenuShortcutPath(shortcut);
    if (path.empty() || !EnsureFolderExists(StartMenuFolderPath()))
        return false;
    std::string target = shortcut.target.empty() ? GetProgramPath() : shortcut.target;
    return WriteFileReplacing(path, ComposeDesktopEntry(shortcut, DesktopEntryIcon(target)), kMenuEntryMode);
}

bool DesktopShortcutExists(const Shortcut& shortcut) {
    return IsExistingFile(DesktopShortcutPath(shortcut));
}

bool DeleteDesktopShortcut(const Shortcut& shortcut) {
    std::string path = DesktopShortcutPath(shortcut);
    return !path.empty() && RemoveFile(path);
}

bool DeleteStartMenuShortcut(const Shortcut& shortcut) {
    std::string path = StartMenuShortcutPath(shortcut);
    if (path.empty())
        return false;
    bool gone = RemoveFile(path);
    // rmdir refuses a folder that still holds anything, which is the rule: only an empty one goes.
    ::rmdir(StartMenuFolderPath().c_str());
    return gone;
}

}  // namespace sarvo
