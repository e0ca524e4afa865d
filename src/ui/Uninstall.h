#pragma once

#include <string>

class QWidget;

// The text of string 5020, shown before anything is removed.
inline constexpr char kUninstallQuestion[] = "This will remove Sarvo from your computer.\r\nAre you sure?";
inline constexpr char kMessageCaption[] = "Sarvo";
inline constexpr int kUninstallExitCode = 123;

// Asks the owner, removes the launchers and the settings (machine-wide and the user's), and then the
// program files where this user installed them, ending the process with exit code 123. On "No"
// nothing changes and the call returns; it also returns, with the settings already gone, when the
// program's files lie where this user cannot remove them and no package owns them.
void UninstallAndExit(QWidget* parent);

// The first three steps of the above: the question, the launchers, the settings. False on "No".
bool ConfirmAndRemoveUserData(QWidget* parent);

// The last step for the given program file: see UninstallAndExit.
void RemoveProgramAndExit(QWidget* parent, const std::string& programPath);
