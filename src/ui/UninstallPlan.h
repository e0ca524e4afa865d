#pragma once

#include <sys/types.h>

#include <array>
#include <string>
#include <vector>

// What uninstalling removes besides the settings and the launchers, decided from where the program
// file lies. Plain functions without windows, so that every case can be tried in a test folder.
namespace sarvo {

// Sizes of the PNG icons that `make install` puts into the hicolor theme, besides the scalable one.
inline constexpr std::array<int, 7> kInstalledIconSizes = {16, 24, 32, 48, 64, 128, 256};
inline constexpr char kDpkgInfoFolder[] = "/var/lib/dpkg/info";

enum class InstallKind {
    UserLocal,  // the program's folder is the user's own: the uninstall script removes the files
    Packaged,   // a Debian package owns the program file: the package manager removes it
    Foreign,    // neither: the files stay, as the program cannot remove them
};

struct InstallFacts {
    std::string programPath;
    bool folderOwnedByUser = false;  // owned by this user and writable by them
    std::string packageName;         // the Debian package that lists the program file, or ""
};

// Looks at the program's folder and at the package lists in dpkgInfoFolder.
InstallFacts ExamineInstall(const std::string& programPath,
                            const std::string& dpkgInfoFolder = kDpkgInfoFolder);
InstallKind ClassifyInstall(const InstallFacts& facts);

// The package whose file list (NAME.list or NAME:ARCH.list) holds the path; "" when none does.
std::string FindOwningPackage(const std::string& path, const std::string& dpkgInfoFolder);

// The files an install put in place for this program file: the program, sarvo-cli and pictorn
// beside it and, when it lies in PREFIX/bin, the menu entry and the icons under PREFIX/share.
// Whether each exists is left to the script.
std::vector<std::string> InstalledFiles(const std::string& programPath);
// Folders that go too, when the files above leave them empty.
std::vector<std::string> InstalledFolders(const std::string& programPath);

std::string UninstallScriptPath(const std::string& programPath);

// A shell script that waits (bounded) for the process to end, removes the files and the folders
// that are left empty, then itself. Every path is quoted for the shell.
std::string ComposeUninstallScript(pid_t waitFor, const std::vector<std::string>& files,
                                   const std::vector<std::string>& folders, const std::string& scriptPath);

// Writes the script (owner-only) and starts it in a session of its own, so that it outlives this
// process; false when either step fails (the script is then removed again).
bool StartUninstallScript(const std::string& scriptPath, const std::string& scriptText);

}  // namespace sarvo
