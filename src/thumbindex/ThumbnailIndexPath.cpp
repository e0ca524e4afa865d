#include "thumbindex/ThumbnailIndexPath.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <zlib.h>

#include <memory>

#include "common/Format.h"
#include "common/Text.h"
#include "platform/FileSystem.h"
#include "platform/FindData.h"
#include "platform/SpecialFolders.h"
#include "platform/Volume.h"

namespace sarvo {
namespace {

// The cache is private to the user, as the application-data folder it lies in.
constexpr mode_t kCacheFolderMode = 0700;

// "" when the path does not exist: a folder that is not there has no index to look for, and only a
// canonical path is sure to hold no ".." that could lead out of the cache.
std::string CanonicalPath(const std::string& path) {
    std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// One level of the cache path: true when the folder exists afterwards.
bool EnterLevel(const std::string& level, ThumbnailCache cache) {
    if (IsExistingDirectory(level))
        return true;
    if (cache == ThumbnailCache::LookupOnly)
        return false;
    return ::mkdir(level.c_str(), kCacheFolderMode) == 0 || IsExistingDirectory(level);
}

}  // namespace

uint32_t VolumeKeyCrc(std::string_view volumeKey) {
    std::string lowered(volumeKey);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    uLong crc = ::crc32(0L, Z_NULL, 0);
    crc = ::crc32(crc, reinterpret_cast<const Bytef*>(lowered.data()), static_cast<uInt>(lowered.size()));
    return static_cast<uint32_t>(crc);
}

std::string FolderBelowMountPoint(std::string_view canonicalFolder, std::string_view mountPoint) {
    std::string_view below = canonicalFolder;
    if (!mountPoint.empty() && mountPoint != "/" && below.substr(0, mountPoint.size()) == mountPoint &&
        (below.size() == mountPoint.size() || below[mountPoint.size()] == '/'))
        below.remove_prefix(mountPoint.size());
    while (!below.empty() && below.front() == '/')
        below.remove_prefix(1);
    while (!below.empty() && below.back() == '/')
        below.remove_suffix(1);
    return std::string(below);
}

bool ThumbnailIndexPath(std::string_view folder, ThumbnailCache cache, std::string& out) {
    out.clear();
    if (folder.empty())
        return false;
    const std::string folderPath(folder);
    out = folderPath + "/" + kThumbnailIndexName;
    NormalizePath(out);

    uint32_t attributes = 0;
    if (GetFileAttributes(out, attributes) || GetDriveKind(folderPath) != kDriveCdRom)
        return true;
    const std::string canonical = CanonicalPath(folderPath);
    VolumeInfo volume;
    if (canonical.empty() || !GetVolumeInformation(canonical, volume))
        return true;

    const std::string appData = GetAppDataPath();
    if (appData.empty() || (cache == ThumbnailCache::CreateFolders && !EnsureFolderExists(appData)))
        return true;
    std::string level = appData + "/" + kThumbnailCacheFolderName;
    if (!EnterLevel(level, cache))
        return true;
    level += Format("/%08X", VolumeKeyCrc(volume.key));
    if (!EnterLevel(level, cache))
        return true;
    // The same medium may be mounted elsewhere next time; below its mount point its folders keep
    // their names, as a drive's folders do below its root whatever letter it gets.
    std::string below = FolderBelowMountPoint(canonical, volume.mountPoint);
    size_t start = 0;
    while (start < below.size()) {
        size_t end = below.find('/', start);
        if (end == std::string::npos)
            end = below.size();
        level += '/';
        level.append(below, start, end - start);
        if (!EnterLevel(level, cache))
            return true;
        start = end + 1;
    }
    out = level + "/" + kThumbnailIndexName;
    NormalizePath(out);
    return true;
}

bool FindThumbnailIndex(std::string_view folder, std::string& out) {
    if (!ThumbnailIndexPath(folder, ThumbnailCache::LookupOnly, out))
        return false;
    uint32_t attributes = 0;
    if (GetFileAttributes(out, attributes))
        return true;
    std::string inFolder = std::string(folder) + "/" + kThumbnailIndexName;
    NormalizePath(inFolder);
    if (out != inFolder)
        return true;
    DirectoryEnumerator entries(std::string(folder) + "/*.*");
    FindData entry;
    while (entries.Next(entry)) {
        if ((entry.attributes & kFileAttributeDirectory) == 0 &&
            EqualsIgnoreCase(entry.name, kThumbnailIndexName)) {
            out = std::string(folder) + "/" + entry.name;
            NormalizePath(out);
            return true;
        }
    }
    return true;
}

}  // namespace sarvo
