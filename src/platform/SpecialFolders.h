#pragma once

#include <string>
#include <string_view>

// Where the program keeps its files. When SARVO_HOME is set every folder lives under it (tests rely on
// this); otherwise the XDG base directories decide.
namespace sarvo {

// The folder that holds settings.db: SARVO_HOME, else XDG_CONFIG_HOME/sarvo, else ~/.config/sarvo.
std::string GetConfigFolderPath();

// The user's documents folder (the logbook lives here): SARVO_HOME, else XDG_DOCUMENTS_DIR, else
// ~/Documents when it exists, else ~.
std::string GetMyDocumentsPath();

// Per-user application data: SARVO_HOME/appdata, else XDG_DATA_HOME/sarvo (~/.local/share/sarvo).
std::string GetAppDataPath();

// SARVO_HOME/Desktop, else the desktop folder as `xdg-user-dir DESKTOP` reports it: XDG_DESKTOP_DIR
// from XDG_CONFIG_HOME/user-dirs.dirs, else from the environment, else ~/Desktop.
std::string GetDesktopPath();

// The folder that the user-dirs.dirs text names for a key such as "DESKTOP" ("$HOME/" expanded with
// home); "" when the text does not name one or names a relative path.
std::string FindUserDir(std::string_view userDirsText, std::string_view key, const std::string& home);

// SARVO_HOME/applications, else XDG_DATA_HOME/applications (~/.local/share/applications).
std::string GetProgramsMenuPath();

// Creates the folder and its missing parents; true when it exists afterwards.
bool EnsureFolderExists(const std::string& path);

}  // namespace sarvo
