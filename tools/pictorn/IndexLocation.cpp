#include "IndexLocation.h"

#include "platform/Volume.h"
#include "thumbindex/ThumbnailIndexPath.h"

namespace sarvo::pictorn {

std::string IndexPathForWriting(const std::string& folder) {
    std::string path;
    ThumbnailIndexPath(folder, ThumbnailCache::CreateFolders, path);
    return path;
}

std::string IndexPathForLookup(const std::string& folder) {
    std::string path;
    ThumbnailIndexPath(folder, ThumbnailCache::LookupOnly, path);
    return path;
}

bool IsOnReadOnlyMedia(const std::string& folder) {
    return GetDriveKind(folder) == kDriveCdRom;
}

}  // namespace sarvo::pictorn
