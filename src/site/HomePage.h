#pragma once

// The site's root page: the title bar, the owner's introduction, the table of published folders and
// visitor services, and the table of published single files.
namespace sarvo {

class ConnectionContext;
class HttpResponse;
struct ResolvedPath;

// Fills the response with the whole page, from fresh reads of the settings and the file system.
void BuildHomePage(HttpResponse& response);

// Route handler: builds the page and sends it with progress.
int SendHomePage(ConnectionContext& connection, const ResolvedPath& path);

}  // namespace sarvo
