#include "server/PathResolver.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <optional>

#include "common/ServiceNames.h"
#include "common/Text.h"
#include "common/TextHolder.h"
#include "common/Url.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "thumbindex/ThumbnailIndexPath.h"

namespace sarvo {
namespace {

constexpr uint64_t kLow32 = 0xFFFFFFFFu;

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Control characters and the blank, the bytes trimmed from both ends of a decoded path.
bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// The folder's location and the rest joined with '/', the rest's empty and "." segments left out so
// that the last component of the disk path is always a real name. The rest has passed
// RestStaysInsideFolder, so no ".." is left to handle.
std::string JoinBelowFolder(std::string location, std::string_view rest) {
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = rest.size();
        std::string_view segment = rest.substr(start, end - start);
        if (!segment.empty() && segment != ".") {
            location += '/';
            location += segment;
        }
        start = end + 1;
    }
    NormalizePath(location);
    return location;
}

// Reads the target's find data and makes its entity tag; false when the target does not exist or,
// below a shared folder, can only be reached through a link that leads out of it.
bool ReadTarget(ResolvedPath& path) {
    const int target = OpenConfined(path.confinement, path.diskPath, O_PATH);
    if (target < 0)
        return false;
    const size_t slash = path.diskPath.rfind('/');
    const bool found = DescriptorFindData(
        target, slash == std::string::npos ? path.diskPath : path.diskPath.substr(slash + 1), path.findData);
    ::close(target);
    if (!found)
        return false;
    path.entityTag = MakeEntityTag(path.findData);
    return true;
}

void MarkFound(ResolvedPath& path, PathKind kind) {
    path.kind = kind;
    path.found = true;
}

ResolvedPath NotFound() {
    return ResolvedPath{};
}

void ResolveRoot(ResolvedPath& path) {
    MarkFound(path, PathKind::Root);
    std::string homePageFile;
    if (!GetHomePageFile(homePageFile))
        return;
    path.diskPath = homePageFile;
    if (!ReadTarget(path)) {
        // The file went away between the two looks; the generated home page answers instead.
        path.diskPath.clear();
        path.findData = FindData{};
    }
}

bool ResolveService(ResolvedPath& path) {
    if (IsGuestbookName(path.firstSegment)) {
        path.title = kGuestbookTitle;
        MarkFound(path, PathKind::GuestbookPath);
    } else if (IsWebchatName(path.firstSegment)) {
        path.title = kWebchatTitle;
        MarkFound(path, PathKind::WebchatPath);
    } else if (IsWebCommunityName(path.firstSegment)) {
        path.title = kWebCommunityTitle;
        MarkFound(path, PathKind::CommunityPath);
    } else {
        return false;
    }
    return true;
}

ResolvedPath ResolveInFolder(ResolvedPath path, const std::string& location) {
    // An empty location would put the rest below the file system's root.
    if (location.empty())
        return NotFound();
    if (!RestStaysInsideFolder(path.rest)) {
        ResolvedPath refused = NotFound();
        refused.escapesFolder = true;
        return refused;
    }
    path.diskPath = JoinBelowFolder(location, path.rest);
    path.confinement.root = location;
    NormalizePath(path.confinement.root);
    path.confinement.links = FollowsLinks(path.firstSegment) ? LinkPolicy::Follow : LinkPolicy::StayInside;
    const bool isIndex = !path.rest.empty() && EqualsIgnoreCase(path.lastComponent, kThumbnailIndexName);
    if (isIndex) {
        size_t slash = path.diskPath.rfind('/');
        std::string folder = slash == 0 ? std::string("/") : path.diskPath.substr(0, slash);
        if (slash == std::string::npos || !IsReachableInside(path.confinement, folder) ||
            !FindThumbnailIndex(folder, path.diskPath))
            return NotFound();
    }
    // An index kept in the thumbnail cache lies outside the folder by design; the folder it
    // describes was checked above.
    if (isIndex && !path.confinement.Covers(path.diskPath))
        path.confinement = Confinement{};
    if (!ReadTarget(path))
        return NotFound();
    if (path.findData.attributes & kFileAttributeDirectory)
        MarkFound(path, PathKind::SharedFolderDir);
    else
        MarkFound(path, isIndex ? PathKind::ThumbnailIndex : PathKind::SharedFolderFile);
    if (!GetFolderDescription(path.firstSegment, path.title))
        path.title.clear();
    return path;
}

ResolvedPath ResolvePublished(ResolvedPath path) {
    if (!path.rest.empty())
        return NotFound();
    std::optional<PublishedFileRecord> record = GetPublishedFile(path.firstSegment);
    if (!record || record->path.empty())
        return NotFound();
    path.diskPath = record->path;
    if (!ReadTarget(path))
        return NotFound();
    MarkFound(path, PathKind::PublishedFile);
    return path;
}

}  // namespace

std::string MakeEntityTag(const FindData& findData) {
    const uint64_t ticks = findData.lastWriteTime.ticks;
    // Lower-case hexadecimal without leading zeros, as "%lx" writes it; made for every file request.
    const auto appendHex = [](std::string& out, uint64_t value) {
        char digits[16];
        out.append(digits, std::to_chars(std::begin(digits), std::end(digits), value, 16).ptr);
    };
    std::string tag = "\"";
    appendHex(tag, findData.size & kLow32);
    appendHex(tag, findData.size >> 32);
    tag += '-';
    appendHex(tag, ticks & kLow32);
    tag += '-';
    appendHex(tag, ticks >> 32);
    tag += '"';
    return tag;
}

bool RestStaysInsideFolder(std::string_view rest) {
    if (rest.find('\0') != std::string_view::npos)
        return false;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = rest.size();
        if (rest.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

ResolvedPath ResolvePath(std::string_view requestPath) {
    if (requestPath.empty())
        return NotFound();
    TextHolder decodedHolder;
    UrlDecode(decodedHolder, requestPath);
    std::string_view decoded = decodedHolder.Str();
    // A NUL cannot be part of a file name; whatever it was meant to cut off, the request names nothing.
    if (decoded.find('\0') != std::string_view::npos)
        return NotFound();

    while (!decoded.empty() && IsTrimmed(decoded.front()))
        decoded.remove_prefix(1);
    while (!decoded.empty() && IsTrimmed(decoded.back()))
        decoded.remove_suffix(1);
    while (decoded.size() > 1 && IsSeparator(decoded.back()))
        decoded.remove_suffix(1);
    if (decoded.empty())
        return NotFound();

    ResolvedPath path;
    if (decoded == "/") {
        ResolveRoot(path);
        return path;
    }

    while (!decoded.empty() && IsSeparator(decoded.front()))
        decoded.remove_prefix(1);
    size_t separator = decoded.find_first_of("/\\");
    if (separator == std::string_view::npos) {
        path.firstSegment.assign(decoded);
    } else {
        path.firstSegment.assign(decoded.substr(0, separator));
        path.rest.assign(decoded.substr(separator + 1));
    }
    size_t lastSeparator = path.rest.find_last_of("/\\");
    path.lastComponent = path.rest.empty()                    ? path.firstSegment
                         : lastSeparator == std::string::npos ? path.rest
                                                              : path.rest.substr(lastSeparator + 1);
    if (path.firstSegment.empty() || path.firstSegment.size() > kMaxFirstSegmentLength ||
        path.rest.size() > kMaxRestLength)
        return NotFound();

    // Services come first, so a shared folder that took a service's name is hidden by the service.
    if (ResolveService(path))
        return path;
    std::string location;
    if (GetFolderLocation(path.firstSegment, location))
        return ResolveInFolder(std::move(path), location);
    return ResolvePublished(std::move(path));
}

}  // namespace sarvo
