#pragma once

// The store's key layout. These paths are data shared with existing installations: keep them byte
// for byte.
namespace sarvo {

inline constexpr char kProductKey[] = "Software\\KELDANWORKS\\Sarvo";
inline constexpr char kSettingsKey[] = "Software\\KELDANWORKS\\Sarvo\\Settings";
inline constexpr char kFoldersKey[] = "Software\\KELDANWORKS\\Sarvo\\Folders";
inline constexpr char kDynamicFilesKey[] = "Software\\KELDANWORKS\\Sarvo\\DynamicFiles";
inline constexpr char kUsersKey[] = "Software\\KELDANWORKS\\Sarvo\\Passwords\\Users";
inline constexpr char kWebCommLoginKey[] = "Software\\KELDANWORKS\\Sarvo\\WebCommLogin";
inline constexpr char kWebCommClientsKey[] = "Software\\KELDANWORKS\\Sarvo\\WebCommClients";

// The first-run marker lives machine-wide.
inline constexpr char kFirstRunKey[] = "SOFTWARE\\KELDANWORKS\\sarvo";
inline constexpr char kInitFlagValue[] = "InitFlag";

}  // namespace sarvo
