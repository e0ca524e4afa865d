#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/ConfinedOpen.h"
#include "platform/FindData.h"
#include "server/HttpRequest.h"

// The server has no document root: its URL space is made of named places (the home page, the shared
// folders, the published single files and the three services). Resolving a request path says which
// place it names and which file or folder on disk stands behind it.
namespace sarvo {

// The numbers are part of the routing table's vocabulary; keep them.
enum class PathKind {
    NotFound = -1,
    Root = 0,
    SharedFolderDir = 1,
    SharedFolderFile = 2,
    PublishedFile = 3,
    ThumbnailIndex = 4,
    GuestbookPath = 5,
    WebchatPath = 6,
    CommunityPath = 7,
};

// Longer first segments and rests are not names this server ever hands out; the same limits as
// request reading applies.
inline constexpr size_t kMaxFirstSegmentLength = kMaxFirstPathSegment;
inline constexpr size_t kMaxRestLength = kMaxPathRest;

inline constexpr char kGuestbookTitle[] = "You can drop a message here";
inline constexpr char kWebchatTitle[] = "Sarvo Chat Room";
inline constexpr char kWebCommunityTitle[] = "Web Community Members";

struct ResolvedPath {
    PathKind kind = PathKind::NotFound;
    bool found = false;
    // The rest of the path would leave its shared folder; found is false and diskPath is "". The
    // dispatcher refuses such a request outright instead of answering "not found".
    bool escapesFolder = false;
    std::string firstSegment;   // the folder, published file or service name; "" when none
    std::string rest;           // decoded, after the separator that ends the first segment
    std::string lastComponent;  // after the last '/' or '\' of rest; the first segment when rest is ""
    std::string diskPath;       // '/'-separated; "" for services, for the root without a home page file
    std::string title;          // a service's title or a shared folder's description
    FindData findData;
    std::string entityTag;  // "" for services and for the root without a home page file
    // Below a shared folder: the folder on disk and whether links may lead out of it. Every later
    // open of diskPath or of a path below it goes through OpenConfined with it.
    Confinement confinement;
};

// requestPath is the raw path of the request line, still percent-encoded. Every failure gives a
// record with kind NotFound; nothing is reported otherwise.
ResolvedPath ResolvePath(std::string_view requestPath);

// "\"%lx%lx-%lx-%lx\"" of the size's low and high 32 bits and the last-write time's low and high 32
// bits (100-ns ticks). Clients hand the tag back byte for byte in If-None-Match and If-Range, so the
// format is part of the protocol.
std::string MakeEntityTag(const FindData& findData);

// The confinement rule for the decoded rest of a path below a shared folder: false when a segment,
// split at '/' or '\', is exactly ".." (even one that would climb back inside), or when the text holds
// a NUL byte (the system call would stop reading the path there, so the name checked would not be the
// name opened). "." segments and names such as "..." or "..a" are harmless.
bool RestStaysInsideFolder(std::string_view rest);

}  // namespace sarvo
