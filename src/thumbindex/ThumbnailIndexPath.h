#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "thumbindex/ThumbnailIndexFormat.h"

// Where a folder's thumbnail index lies. The index is written by the separate thumbnail tool into the
// folder itself; a folder on read-only media cannot hold one, so its index lives in a per-user cache
// folder named after the volume instead. The server and the thumbnail pages both find it here.
namespace sarvo {

// Below the application-data folder.
inline constexpr char kThumbnailCacheFolderName[] = "PIXINDEX";

enum class ThumbnailCache {
    LookupOnly,     // a missing cache folder means there is no cached index: answer the in-folder path
    CreateFolders,  // make the cache folders, as the tool that writes an index does
};

// out receives the path of the folder's "pixindex.$$$": the in-folder path when that file exists or
// the folder is not on read-only media, otherwise the cache path
// <app data>/PIXINDEX/<volume CRC as %08X>/<the folder below its mount point>/pixindex.$$$. With
// LookupOnly, as soon as one cache level does not exist the in-folder path is kept. An empty folder
// gives "" and false; otherwise true.
bool ThumbnailIndexPath(std::string_view folder, ThumbnailCache cache, std::string& out);

// As ThumbnailIndexPath with LookupOnly, for reading an index. When the index would lie in the folder
// but no file has its name, a file whose name differs from it only in case stands in, since names
// here are case-sensitive and an index copied from a system where they are not may be spelled in
// any case. The first such file found is taken.
bool FindThumbnailIndex(std::string_view folder, std::string& out);

// The CRC-32 (reflected, polynomial 0xEDB88320) of the volume key with A-Z lowered, so that volumes
// whose names differ only in case share a cache folder.
uint32_t VolumeKeyCrc(std::string_view volumeKey);

// The canonical folder below the mount point that holds it, without a leading '/': "" for the mount
// point itself. A mount point that is not a prefix of the folder (no mount table) leaves the whole
// path.
std::string FolderBelowMountPoint(std::string_view canonicalFolder, std::string_view mountPoint);

}  // namespace sarvo
