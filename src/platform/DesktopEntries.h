#pragma once

#include <string>

// The program's launchers on the desktop and in the applications menu, as freedesktop desktop
// entries: the desktop one in the XDG desktop folder, the menu one in the folder "keldanworks" under
// the applications folder (so its desktop file id is "keldanworks-sarvo.desktop", the same id that
// an installed copy of the program uses, and the menu shows one launcher).
namespace sarvo {

inline constexpr char kShortcutName[] = "Sarvo";
inline constexpr char kShortcutDescription[] = "Portable HTTP Server";
inline constexpr char kProgramsMenuFolder[] = "keldanworks";
inline constexpr char kIconName[] = "sarvo";

// One launcher of the program.
struct Shortcut {
    std::string name;         // display name; the file is the name in lower case plus ".desktop"
    std::string target;       // the program to start; "" means the program's own file
    std::string description;  // the Comment; "" means the name
};

// Name "Sarvo", description "Portable HTTP Server", the program's own file as target.
Shortcut ProgramShortcut();

// The full path of the running program's own file (/proc/self/exe); "" when it cannot be read.
std::string GetProgramPath();

// The entry's file name: the name in lower case plus ".desktop".
std::string DesktopEntryFileName(const std::string& name);

// Where each entry lives; "" for an empty name.
std::string DesktopShortcutPath(const Shortcut& shortcut);
std::string StartMenuFolderPath();
std::string StartMenuShortcutPath(const Shortcut& shortcut);

// The Icon value for a program file: the absolute path of the scalable icon installed beside it
// (PREFIX/share/icons/hicolor/scalable/apps/sarvo.svg for PREFIX/bin/program) when that file exists,
// so that a prefix outside the icon theme's search path still shows it; else the theme name "sarvo".
std::string DesktopEntryIcon(const std::string& programPath);

// The text of the desktop entry for the shortcut with its target and description filled in.
std::string ComposeDesktopEntry(const Shortcut& shortcut, const std::string& icon);

// An Exec argument quoted as the desktop entry rules require (and then escaped as a string value).
std::string QuoteExecArgument(const std::string& argument);

// Each writes or removes one entry and returns true on success; an empty name does nothing (false).
// The desktop entry is made executable and, where the gio tool is present, marked trusted, as file
// managers ask before they start a launcher from the desktop.
bool CreateDesktopShortcut(const Shortcut& shortcut);
bool CreateStartMenuShortcut(const Shortcut& shortcut);
bool DesktopShortcutExists(const Shortcut& shortcut);
// True when no desktop entry remains, also when there was none.
bool DeleteDesktopShortcut(const Shortcut& shortcut);
// Deletes the menu entry, then the "keldanworks" folder when nothing else is left in it; true when no
// menu entry remains.
bool DeleteStartMenuShortcut(const Shortcut& shortcut);

}  // namespace sarvo
