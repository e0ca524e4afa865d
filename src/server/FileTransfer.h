#pragma once

#include <string_view>

// Files sent as answers: whole, one byte range, or "not modified".
namespace sarvo {

class ConnectionContext;
class FileResponse;
struct ResolvedPath;

// The request headers that select what of a file is sent; any may be empty.
struct FileConditions {
    std::string_view ifModifiedSince;
    std::string_view ifNoneMatch;
    std::string_view ifRange;
    std::string_view range;
};

// Composes the answer for the resolved file into the response: 304 when the client's copy is current
// (If-None-Match decides when present, If-Modified-Since only without it), 206 for a usable range, else 200
// with the whole file. Leaves the response empty when the file cannot be opened (the connection then closes
// without an answer) or names a thumbnail index, whose page is not a file; does nothing when the response
// already holds an open file.
void ServeFile(FileResponse& response, const ResolvedPath& path, const FileConditions& conditions);

// Route handlers: a file with the request's validators and range, and the configured home page file,
// which is always sent whole.
int ServeFileRoute(ConnectionContext& connection, const ResolvedPath& path);
int ServeHomePageFileRoute(ConnectionContext& connection, const ResolvedPath& path);

}  // namespace sarvo
