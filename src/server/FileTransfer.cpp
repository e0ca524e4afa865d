#include "server/FileTransfer.h"

#include <cinttypes>
#include <cstdio>

#include "common/Text.h"
#include "platform/ContentType.h"
#include "platform/InternetTime.h"
#include "server/ByteRange.h"
#include "server/ConnectionContext.h"
#include "server/FileResponse.h"
#include "server/PathResolver.h"
#include "server/SendResponse.h"
#include "thumbindex/ThumbnailIndexFormat.h"

namespace sarvo {
namespace {

constexpr unsigned kStatusNotModified = 304;

std::string_view LastComponent(std::string_view path) {
    size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// Both 32-bit halves must be set for a file time to count as known, as the validators were defined.
bool IsKnownTime(FileTime time) {
    return (time.ticks & 0xFFFFFFFFu) != 0 && (time.ticks >> 32) != 0;
}

bool IsUnmodifiedSince(std::string_view header, FileTime lastWrite) {
    if (header.empty() || !IsKnownTime(lastWrite))
        return false;
    SystemTime since;
    FileTime sinceTime;
    if (!InternetTimeToSystemTime(header, since) || !SystemTimeToFileTime(since, sinceTime))
        return false;
    return sinceTime.ticks / kTicksPerSecond >= lastWrite.ticks / kTicksPerSecond;
}

void AddValidatorHeaders(FileResponse& response, const ResolvedPath& path) {
    if (IsKnownTime(path.findData.lastWriteTime))
        response.AddFileTimeHeader("Last-Modified", path.findData.lastWriteTime);
    else
        response.AddDateHeader("Last-Modified");
    if (!path.entityTag.empty())
        response.AddHeader("ETag", path.entityTag);
}

// A client that sends an entity tag asks about exactly that version; a date cannot overrule it, since
// a file rewritten within the same second, or with its old time restored, keeps its date but not its
// tag.
bool ClientCopyIsCurrent(const ResolvedPath& path, const FileConditions& conditions) {
    if (!conditions.ifNoneMatch.empty())
        return EqualsIgnoreCase(conditions.ifNoneMatch, path.entityTag);
    return IsUnmodifiedSince(conditions.ifModifiedSince, path.findData.lastWriteTime);
}

// The validators the 200 would carry, so that a cache can update its copy, and no Content-Length: the
// empty body of a 304 says nothing about the file's length.
void ComposeNotModified(FileResponse& response, const ResolvedPath& path) {
    response.BeginResponse(kStatusNotModified);
    AddValidatorHeaders(response, path);
    response.SetConnection("close");
    response.FinishHeaders(HttpResponse::Length::Omit);
}

void FinishFileHeaders(FileResponse& response, const ResolvedPath& path) {
    response.SetConnection("close");
    response.SetContentType(LookupContentType(path.findData.name));
    response.FinishHeaders();
}

int SendFileAnswer(ConnectionContext& connection, FileResponse& response) {
    // A file that could not be opened gets no answer at all; the connection just closes.
    if (!response.HeadersFinished())
        return 0;
    return SendResponse(connection, response, ProgressReport::On);
}

}  // namespace

void ServeFile(FileResponse& response, const ResolvedPath& path, const FileConditions& conditions) {
    if (response.HasOpenFile())
        return;
    if (EqualsIgnoreCase(LastComponent(path.diskPath), kThumbnailIndexName))
        return;
    if (ClientCopyIsCurrent(path, conditions)) {
        ComposeNotModified(response, path);
        return;
    }
    if (!response.OpenFile(path.diskPath, path.confinement))
        return;

    const uint64_t size = response.FileSize();
    ByteRange range;
    bool rangeApplies = conditions.ifRange.empty() || EqualsIgnoreCase(conditions.ifRange, path.entityTag);
    if (!conditions.range.empty() && rangeApplies && ParseByteRange(conditions.range, size, range) &&
        response.SelectRange(range.first, range.last - range.first + 1)) {
        response.BeginResponse(206);
        AddValidatorHeaders(response, path);
        response.AddHeader("Accept-Ranges", "bytes");
        char contentRange[96];
        std::snprintf(contentRange, sizeof contentRange,
                      "Content-Range: bytes %" PRIu64 "-%" PRIu64 "/%" PRIu64 "\r\n", range.first, range.last,
                      size);
        response.AddHeaderLine(contentRange);
        FinishFileHeaders(response, path);
        return;
    }
    response.BeginResponse(200);
    AddValidatorHeaders(response, path);
    response.AddHeader("Accept-Ranges", "bytes");
    FinishFileHeaders(response, path);
}

int ServeFileRoute(ConnectionContext& connection, const ResolvedPath& path) {
    const HttpRequest& request = connection.request;
    FileConditions conditions{request.Header("if-modified-since"), request.Header("if-none-match"),
                              request.Header("if-range"), request.Header("range")};
    FileResponse response;
    ServeFile(response, path, conditions);
    return SendFileAnswer(connection, response);
}

int ServeHomePageFileRoute(ConnectionContext& connection, const ResolvedPath& path) {
    FileResponse response;
    ServeFile(response, path, FileConditions{});
    return SendFileAnswer(connection, response);
}

}  // namespace sarvo
