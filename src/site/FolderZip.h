#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A published folder downloaded as one Zip archive. The archive is built while it is sent: a writer
// thread compresses the files into a temporary archive file, and the connection thread streams that
// file with chunked transfer coding as it grows, so the download starts at once and no length is
// known in advance.
namespace sarvo {

class ConnectionContext;
struct ResolvedPath;

// The sender reads the archive in blocks of this size, one chunk each, and does not read ahead while
// this much is still waiting to be sent.
inline constexpr size_t kZipSendBlock = 8192;
// One wait for the client to take more bytes; a wait that times out is simply repeated.
inline constexpr int kZipSendStepMs = 1000;
// While the sender has caught up with the writer it waits this long for more, then looks whether the
// client is still there, so a client that leaves while a large file is compressed is noticed.
inline constexpr int kZipIdleCheckMs = 100;

// "HTTP/1.1 200 OK ... Content-Disposition: attachment; filename=\"<name>.zip\"" with the blank line.
std::string ZipStreamHead(std::string_view folderName, std::string_view date);

// The folder's own name on disk: the text after the last '/' or '\' of its path.
std::string_view ZipFolderName(std::string_view diskPath);

// Route handler. Answers 404 before anything is sent when the folder is missing or no temporary
// file can be made. Returns 0 when the stream was completed, or the negative Winsock-numbered error
// that ended it.
int SendFolderZip(ConnectionContext& connection, const ResolvedPath& path);

}  // namespace sarvo
