#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The published folders: one key per folder under Folders, named by the folder's URL name.
namespace sarvo {

inline constexpr size_t kFolderNameMax = 48;
inline constexpr size_t kFolderDescriptionMax = 80;
inline constexpr size_t kFolderLocationMax = 259;

struct SharedFolder {
    std::string name;
    std::string description;
    std::string location;
    bool canBrowseSubfolders = false;
    bool canPostFiles = false;
    bool visible = true;
    bool zipDownload = false;
    // Symbolic links that lead out of the folder are followed; off, such a path is not reachable.
    bool followLinks = false;
};

// Names come in the store's enumeration order (case-insensitive alphabetical); false past the end.
bool EnumFolderName(int index, std::string& out);
bool FolderExists(std::string_view name);
bool RemoveFolder(std::string_view name);

bool GetFolderDescription(std::string_view name, std::string& out);
bool GetFolderLocation(std::string_view name, std::string& out);
bool CanBrowseSubfolders(std::string_view name);
bool CanPostFiles(std::string_view name);
bool IsFolderVisible(std::string_view name);
bool IsZipDownloadAllowed(std::string_view name);
bool FollowsLinksOutside(std::string_view name);

bool SetFolderDescription(std::string_view name, std::string_view description);
bool SetFolderLocation(std::string_view name, std::string_view location);
bool SetCanBrowseSubfolders(std::string_view name, bool on);
bool SetCanPostFiles(std::string_view name, bool on);
bool SetFolderVisible(std::string_view name, bool on);
bool SetZipDownloadAllowed(std::string_view name, bool on);
bool SetFollowsLinksOutside(std::string_view name, bool on);

// The whole record; reading fills the defaults for missing values and fails when the key is missing.
bool ReadSharedFolder(std::string_view name, SharedFolder& out);
// Writes all seven values in one transaction under the folder's name.
bool WriteSharedFolder(const SharedFolder& folder);
// Moves a folder to a new name in one transaction, so its values never exist under two names or none.
bool RenameSharedFolder(std::string_view oldName, const SharedFolder& folder);

}  // namespace sarvo
