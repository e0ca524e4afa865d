#pragma once

#include <string>
#include <string_view>
#include <vector>

// "Post a File": the page with the upload form, and the upload itself, which spools the request
// body to a temporary file, cuts the file parts out of it into the folder and answers with the same
// page carrying a one-line result.
namespace sarvo {

class ConnectionContext;
class HttpResponse;
class MultipartSplitter;
struct ResolvedPath;
struct UploadedFile;

inline constexpr char kNoFilesReceived[] = "No Files Received";
// One wait for more of the body; a wait that times out is simply repeated.
inline constexpr int kUploadReceiveStepMs = 3000;
// A client that sends no byte of its body for this long is given up, as a silent client is while
// its header is read, so that a stalled upload does not hold a thread and a spool file for ever.
inline constexpr int kUploadIdleLimitMs = 60'000;
// The body is written to the spool file in pieces of up to this size: whatever has arrived is
// gathered first, so a fast upload takes few writes, and memory stays bounded.
inline constexpr size_t kSpoolBlock = 256 * 1024;

// The page for the folder the path resolved to, with the status text (UTF-8) in its status cell, or
// "&nbsp;" when it is empty.
void BuildPostFilePage(HttpResponse& response, const ResolvedPath& path, std::string_view status);

// "No Files Received" without records; otherwise "%lu Files: " and one "name (count), OK" or
// "Failed" per record with a name, separated by "; ". Base names are converted to UTF-8 and escaped
// for HTML: they come from the client, and a crafted name would otherwise become markup of the page.
std::string UploadResultText(const std::vector<UploadedFile>* files);

// Route handlers: the page alone (sent with progress), and the upload (answered without).
int SendPostFilePage(ConnectionContext& connection, const ResolvedPath& path);
int ReceivePostedFiles(ConnectionContext& connection, const ResolvedPath& path);

int SendUploadResult(ConnectionContext& connection, const ResolvedPath& path,
                     const MultipartSplitter* splitter);

}  // namespace sarvo
