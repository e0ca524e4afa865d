#pragma once

#include <cstddef>
#include <string_view>

#include "platform/ConfinedOpen.h"

// The page of all previews of a folder's thumbnail index, six to a row, each preview linking to its
// full picture and fetched itself as "<picture>?thumbnail".
namespace sarvo {

class ConnectionContext;
class HttpResponse;
struct ResolvedPath;

inline constexpr int kThumbnailColumns = 6;
// The table counts the spacer columns between the pictures too.
inline constexpr int kThumbnailTableColumns = 2 * kThumbnailColumns - 1;
// Each row is composed in two buffers of this size, one for the pictures and one for the captions.
// Long names make a row longer still; the buffers then grow rather than cut the markup short.
inline constexpr size_t kThumbnailRowBufferSize = 6192;
// How long a client may keep the page before asking again.
inline constexpr int kThumbnailListExpiresMinutes = 5;

// The complete answer: status 200 with the page of the index at indexPath. A missing or unreadable
// index gives the page with one row of empty cells. Entry names go into the page converted to UTF-8,
// escaped as text and percent-encoded in links.
// An index below the confinement's root is read only when no link on its way leads out of it.
void BuildThumbnailListPage(HttpResponse& response, std::string_view indexPath,
                            const Confinement& confinement = {});

// Route handler: the page of the index the path resolved to, sent with progress.
int SendThumbnailList(ConnectionContext& connection, const ResolvedPath& path);

}  // namespace sarvo
