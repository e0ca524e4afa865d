#pragma once

#include <string_view>

// The listing page of a published folder or one of its sub-folders: a navigation bar, then one row per
// sub-folder, the thumbnail index, and every other file, each group in name order.
namespace sarvo {

class ConnectionContext;
class HttpResponse;
struct ResolvedPath;

// Fills the response with the listing of the folder the path resolved to. Uses the path's share name,
// the rest after it, its last component and its disk path; the dispatcher has already decided that the
// folder may be listed.
void BuildFolderListing(HttpResponse& response, const ResolvedPath& path);
// The same for a URL path, resolved here.
void BuildFolderListing(HttpResponse& response, std::string_view urlPath);

// Route handler: builds the listing and sends it with progress.
int SendFolderListing(ConnectionContext& connection, const ResolvedPath& path);

}  // namespace sarvo
