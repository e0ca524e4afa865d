#include "site/ErrorPages.h"

#include <cstdio>
#include <string>

#include "common/Html.h"
#include "server/HttpResponse.h"
#include "server/ServerIdentity.h"

namespace sarvo {
namespace {

constexpr unsigned kNoContent = 204;

constexpr char kErrorHeadingStart[] =
    "<table width=\"100%\" cols=\"2\">\r\n<tr>\r\n<td align=\"left\" vAlign=\"middle\"><h3 "
    "style=\"color:#ff0000;margin-top:9;margin-bottom:9\">";
constexpr char kHeadingEnd[] =
    "</h3></td>\r\n<td align=\"right\" vAlign=\"middle\"><a style=\"color:#0000ff\" "
    "href=\"/\">Home</a></td>\r\n</tr>\r\n</table>\r\n<hr size=\"1\">\r\n";
constexpr char kEchoHeadingStart[] =
    "<table width=\"100%\" cols=\"2\">\r\n<tr>\r\n<td align=\"left\" vAlign=\"middle\"><h3 "
    "style=\"color:#000000;margin-top:9;margin-bottom:9\">Request Echo";

const char* ReasonText(unsigned status) {
    switch (status) {
        case 400:
            return "(Bad Request)";
        case 401:
            return "(Unauthorized)";
        case 403:
            return "(Forbidden)";
        case 404:
            return "(Not Found)";
        case 405:
            return "(Method Not Allowed)";
        case 406:
            return "(Not Acceptable)";
        default:
            return "";
    }
}

void AppendFooter(HttpResponse& response) {
    response.AppendText(
        "<hr size=\"1\">\r\n<p style=\"text-align:right;margin-top:5\"><a style=\"color:#0000ff\" href=\"");
    response.AppendText(kProductPageAddress);
    response.AppendText("\">Powered by Sarvo</a></p>\r\n</BODY>\r\n</HTML>\r\n");
}

}  // namespace

void AppendRequestLines(HttpResponse& response, std::string_view requestText) {
    size_t position = 0;
    while (position < requestText.size()) {
        size_t start = requestText.find_first_not_of(" \r\n", position);
        if (start == std::string_view::npos)
            break;
        size_t end = requestText.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = requestText.size();
        // The request is the visitor's own text; quoted back as markup it would run in the page.
        response.AppendText(HtmlEscape(requestText.substr(start, end - start)));
        response.AppendText("<br>\r\n");
        position = end;
    }
}

void BuildErrorPage(HttpResponse& response, unsigned status, std::string_view requestText) {
    response.BeginResponse(status);
    response.SetConnection("close");
    if (status == kNoContent) {
        response.FinishHeaders();
        return;
    }
    response.SetContentType(kHtmlUtf8ContentType);
    response.BeginHtmlPage("Error", "#ffffff");
    response.AppendText(kErrorHeadingStart);
    char heading[64];
    std::snprintf(heading, sizeof heading, "Error %u %s", status, ReasonText(status));
    response.AppendText(heading);
    response.AppendText(kHeadingEnd);
    if (!requestText.empty()) {
        response.AppendText("<h5>Request:</h5>\r\n<p>");
        AppendRequestLines(response, requestText);
        response.AppendText("</p>\r\n");
    }
    AppendFooter(response);
    response.FinishHeaders();
}

void BuildEchoPage(HttpResponse& response, std::string_view requestText) {
    response.BeginResponse(200);
    response.SetConnection("close");
    response.SetContentType(kHtmlUtf8ContentType);
    response.BeginHtmlPage("Request Echo", "#ffffff");
    response.AppendText(kEchoHeadingStart);
    response.AppendText(kHeadingEnd);
    if (!requestText.empty()) {
        AppendRequestLines(response, requestText);
        response.AppendText("</p>\r\n");
    }
    AppendFooter(response);
    response.FinishHeaders();
}

}  // namespace sarvo
