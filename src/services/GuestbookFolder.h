#pragma once

#include <string>

// The folder that holds the guestbook's message files: GuestbookDir when it names a folder on a
// writable local mount, otherwise the documents folder followed by "/SarvoGuestbook".
namespace sarvo {

inline constexpr char kDefaultGuestbookSubfolder[] = "/SarvoGuestbook";

enum class FolderCreation { Off, On };

// The documents folder followed by kDefaultGuestbookSubfolder.
std::string DefaultGuestbookFolder();

// The folder, normalised. With creation off the setting is only read. With creation on, the parents
// of the folder are created; when the folder itself still does not exist, the default folder is
// created (one level) and stored as GuestbookDir, so a configured folder that went away is replaced.
std::string GuestbookFolder(FolderCreation creation);

}  // namespace sarvo
