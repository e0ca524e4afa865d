#include "site/PostFile.h"

#include <errno.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

#include "common/Format.h"
#include "common/Html.h"
#include "common/TextHolder.h"
#include "common/Url.h"
#include "platform/FileSystem.h"
#include "platform/TempFile.h"
#include "platform/WinsockError.h"
#include "server/ClientActivity.h"
#include "server/ConnectionContext.h"
#include "server/HttpResponse.h"
#include "server/PathResolver.h"
#include "server/SendResponse.h"
#include "site/ListingParts.h"
#include "site/MultipartSplitter.h"

namespace sarvo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kPageTitle[] = "Post a File";
constexpr char kPageColor[] = "#ffffff";
constexpr char kPageScript[] =
    "<SCRIPT LANGUAGE=\"JAVASCRIPT\">\r\nfunction clrst()\r\n{\r\nst.innerText=\"\";\r\n}\r\nfunction "
    "onsend()\r\n{\r\nst.innerText=\"Uploading, Please wait...\";\r\n}\r\n</SCRIPT>\r\n";
constexpr char kTitleBarStart[] =
    "<table cols=\"2\" rows=\"1\" border=\"0\" width=\"100%\" style=\"margin-top:24\">\r\n<tr>\r\n<td "
    "style=\"padding-top:24;padding-bottom:16\"><b>Post a file to: </b>";
constexpr char kFormPart[] =
    "</tr>\r\n</table>\r\n<table width=\"100%\" height=\"80%\" cols=\"1\" rows=\"3\">\r\n<tr><td "
    "height=\"16\" "
    "style=\"color:#ffffff;background-color:#0080ff;padding-top:3;padding-bottom:3\">Tip: Use [Browse...] to "
    "locate the file then click [Send Now].</td></tr>\r\n<tr>\r\n<td align=\"center\">\r\n<form "
    "ENCTYPE=\"multipart/form-data\" METHOD=\"POST\" name=\"fm\" onsubmit=\"onsend();\">\r\nFile Path:<input "
    "TYPE=\"FILE\" name=\"fp\" id=\"path\" style=\"height:24;width:400\" onchange=\"clrst();\">&nbsp;<input "
    "TYPE=\"SUBMIT\" VALUE=\"Send Now\" id=\"send\" "
    "style=\"height:24;width:80\">\r\n</form>\r\n</td>\r\n</tr>\r\n<tr><td "
    "height=\"16\" id=\"st\" "
    "style=\"color:#ffff00;background-color:#0080ff;padding-top:3;padding-bottom:3\">";
constexpr char kNoStatus[] = "&nbsp;";
constexpr char kPageEnd[] = "</td></tr>\r\n</table>\r\n</BODY>\r\n</HTML>";
constexpr char kComplete[] = "OK";
constexpr char kIncomplete[] = "Failed";

bool WriteAll(int descriptor, const char* data, size_t length) {
    while (length > 0) {
        ssize_t written = ::write(descriptor, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

// Moves the body from the connection into the spool file. 0 when all of it arrived (a spool file
// that could not take it all is no reason to stop reading: the split then finds the part cut off
// and reports it), or the receive error that ended the connection.
int SpoolBody(ConnectionContext& connection, uint64_t contentLength, int spool) {
    SendProgress progress;
    progress.Bind(connection.Handle());
    progress.Start(contentLength);
    uint64_t remaining = contentLength;
    bool spoolFailed = false;
    Clock::time_point lastData = Clock::now();
    for (;;) {
        // Whatever else is already waiting joins the block, so a fast upload takes few writes.
        while (connection.ReceivedData().size() < kSpoolBlock &&
               connection.ReceivedData().size() < remaining) {
            if (connection.ReceiveSome(0) <= 0)
                break;
        }
        const std::string_view data = connection.ReceivedData();
        if (!data.empty()) {
            if (!spoolFailed && !WriteAll(spool, data.data(), data.size()))
                spoolFailed = true;
            // Bytes beyond the announced length that came in the same receive are kept too; the
            // split stops at the closing delimiter anyway.
            remaining -= std::min<uint64_t>(remaining, data.size());
            progress.Add(data.size());
            connection.ClearReceived();
            lastData = Clock::now();
        }
        if (remaining == 0)
            return 0;
        const int received = connection.ReceiveSome(kUploadReceiveStepMs);
        if (received < 0 && received != -kWsaEWouldBlock)
            return received;
        if (received <= 0 && Clock::now() - lastData > std::chrono::milliseconds(kUploadIdleLimitMs))
            return -kWsaETimedOut;
    }
}

}  // namespace

void BuildPostFilePage(HttpResponse& response, const ResolvedPath& path, std::string_view status) {
    response.BeginResponse(200);
    response.AddDateHeader("Last-Modified");
    response.AddExpires(0, 5);
    response.AddHeader("Accept-Ranges", "bytes");
    response.SetConnection("close");
    response.SetContentType(kHtmlUtf8ContentType);
    response.BeginHtmlPage(kPageTitle, kPageColor, kPageScript);

    std::string page = kTitleBarStart;
    const std::string target = path.rest.empty()
                                   ? Format("/%s/", path.firstSegment.c_str())
                                   : Format("/%s/%s/", path.firstSegment.c_str(), path.rest.c_str());
    TextHolder link;
    UrlEncodeForLink(link, target);
    page += Format("<a href=\"%s\">%s</a></td>\r\n", link.Text(), link.Text());
    AppendPoweredByCell(page);
    page += kFormPart;
    page += status.empty() ? std::string_view(kNoStatus) : status;
    page += kPageEnd;
    response.AppendText(page);
    response.FinishHeaders();
}

std::string UploadResultText(const std::vector<UploadedFile>* files) {
    if (!files)
        return kNoFilesReceived;
    unsigned long named = 0;
    for (const UploadedFile& file : *files) {
        if (!file.name.empty())
            ++named;
    }
    std::string text = Format("%lu Files: ", named);
    bool first = true;
    for (const UploadedFile& file : *files) {
        if (file.name.empty())
            continue;
        text += Format(first ? "%s (%s), %s" : "; %s (%s), %s",
                       HtmlEscape(AnsiToUtf8(file.BaseName()).Str()).c_str(),
                       FormatCount(file.written).c_str(), file.complete ? kComplete : kIncomplete);
        first = false;
    }
    return text;
}

int SendUploadResult(ConnectionContext& connection, const ResolvedPath& path,
                     const MultipartSplitter* splitter) {
    HttpResponse response;
    BuildPostFilePage(response, path, UploadResultText(splitter ? &splitter->Files() : nullptr));
    return SendResponse(connection, response, ProgressReport::Off);
}

int SendPostFilePage(ConnectionContext& connection, const ResolvedPath& path) {
    HttpResponse response;
    BuildPostFilePage(response, path, {});
    return SendResponse(connection, response, ProgressReport::On);
}

int ReceivePostedFiles(ConnectionContext& connection, const ResolvedPath& path) {
    const HttpRequest& request = connection.request;
    uint64_t contentLength = 0;
    request.ContentLength(contentLength);
    std::string_view boundary;
    if (contentLength == 0 || !request.MultipartBoundary(boundary))
        return SendUploadResult(connection, path, nullptr);
    // The boundary points into the request, which the receive below leaves alone.
    if (!path.found || !IsExistingDirectory(path.diskPath))
        return SendUploadResult(connection, path, nullptr);
    // Nameless from the start, so the body is gone with the descriptor however this ends.
    TempFile spool = CreateTempFile(TempFileMode::DeleteOnClose);
    if (!spool)
        return SendUploadResult(connection, path, nullptr);

    if (int result = SpoolBody(connection, contentLength, spool.Descriptor()); result < 0)
        return result;
    MultipartSplitter splitter;
    splitter.Split(spool.Descriptor(), boundary, path.diskPath, path.confinement);
    spool.Close();
    return SendUploadResult(connection, path, &splitter);
}

}  // namespace sarvo
