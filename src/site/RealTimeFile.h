#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Published files marked "real time": a visitor gets no copy of the file but a chunked stream of
// whatever is appended to it from the moment of the request, for as long as the file stays marked.
namespace sarvo {

class ConnectionContext;
struct ResolvedPath;

// The most read from the file at once, and the most left waiting to be sent before reading more.
inline constexpr size_t kRealTimeBlock = 131072;
// Each send waits this long for the client to take bytes; a wait that times out is repeated.
inline constexpr int kRealTimeSendStepMs = 1000;
// After this much time without new bytes the stream asks the store whether the file is still marked.
inline constexpr int kRealTimeRecheckMs = 15000;

// The file a real-time stream of the published name reads: the record's own path, or, with "use the
// newest file", the most recently written file of the record's folder that matches the search
// pattern ("*." and the path's extension when the pattern is empty; the record's path when nothing
// matches). True when the name is published as real-time and out names an existing file that is not
// a folder.
bool ResolveRealTimePath(std::string_view publishedName, std::string& out);

// Route handler for a GET of a real-time published file: answers 404 when there is nothing to stream,
// otherwise streams until the mark is removed (noticed after kRealTimeRecheckMs of quiet) or the
// client goes. Returns 0 after a complete stream, or the negative error that ended it.
int SendRealTimeFile(ConnectionContext& connection, const ResolvedPath& path);

}  // namespace sarvo
