#include "services/GuestbookFolder.h"

#include <sys/stat.h>

#include "common/Text.h"
#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"
#include "platform/Volume.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

constexpr mode_t kFolderMode = 0777;

// Every folder on the way to the path's last component; failures are left to the existence test
// that follows, which is the only answer that matters.
void CreateParentFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), kFolderMode);
}

}  // namespace

std::string DefaultGuestbookFolder() {
    std::string folder = GetMyDocumentsPath() + kDefaultGuestbookSubfolder;
    NormalizePath(folder);
    return folder;
}

std::string GuestbookFolder(FolderCreation creation) {
    std::string folder = TrimmedCopy(GetGuestbookDir());
    // A network file system or a read-only mount stands for a drive that is not a fixed disk: messages
    // must land where they stay available and writable, so such a setting counts as empty.
    if (!folder.empty() && GetDriveKind(folder) != kDriveFixed)
        folder.clear();
    if (folder.empty())
        folder = GetMyDocumentsPath() + kDefaultGuestbookSubfolder;
    NormalizePath(folder);
    if (creation == FolderCreation::Off)
        return folder;

    CreateParentFolders(folder);
    if (IsExistingDirectory(folder))
        return folder;
    folder = DefaultGuestbookFolder();
    ::mkdir(folder.c_str(), kFolderMode);
    SetGuestbookDir(folder);
    return folder;
}

}  // namespace sarvo
