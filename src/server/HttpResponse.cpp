#include "server/HttpResponse.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/Html.h"
#include "platform/InternetTime.h"
#include "server/ServerIdentity.h"

namespace sarvo {
namespace {

constexpr unsigned kUnauthorized = 401;

struct StatusLine {
    unsigned status;
    std::string_view line;
};

// Only these codes carry a reason phrase; every other code goes out as the bare number.
constexpr StatusLine kStatusLines[] = {
    {200, "HTTP/1.1 200 OK\r\n"},
    {204, "HTTP/1.1 204 No Content\r\n"},
    {206, "HTTP/1.1 206 Partial Content\r\n"},
    {304, "HTTP/1.1 304 Not Modified\r\n"},
    {400, "HTTP/1.1 400 Bad Request\r\n"},
    {401, "HTTP/1.1 401 Unauthorized\r\n"},
    {403, "HTTP/1.1 403 Forbidden\r\n"},
    {404, "HTTP/1.1 404 Not Found\r\n"},
    {405, "HTTP/1.1 405 Method Not Allowed\r\n"},
};

constexpr std::string_view kPageHead =
    "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
    "<STYLE TYPE=\"TEXT/CSS\">\r\n"
    "BODY{font: x-small Verdana, Arial, Helvetica, sans-serif}\r\n"
    "h1, h2, h3, h4{font-family: verdana, Arial, Helvetica, sans-serif;\tfont-weight: bold;color: "
    "#000000}\r\n"
    "h1{font-size:145%;margin-bottom:.5em}\r\n"
    "h2{font-size:125%;margin-top:1.5em;margin-bottom:.5em}\r\n"
    "h3{font-size:115%; margin-top:1.2em;margin-bottom:.5em}\r\n"
    "h4{font-size:115%;margin-top:0.3em;margin-bottom:1em}\r\n"
    "h5{font-size:100%;margin-top:1em;margin-bottom:1em}\r\n"
    "P{font:x-small Verdana,Arial,Helvetica,sans-serif;color:#000000;margin-top:.5em;margin-bottom:.5em}\r\n"
    "TD{font-size:x-small;padding-top:0;padding-bottom:0}\r\n"
    "th{font-size:x-small;color:#ffffff;background-color:#0080ff;font-weight:normal;padding-top:2;"
    "padding-bottom:2}\r\n"
    "UL{margin-top:12;margin-bottom:0;list-style:disc}\r\n"
    "LI{margin-top:.5em;margin-bottom:.5em}\r\n"
    "</STYLE>\r\n<TITLE>";

}  // namespace

bool HttpResponse::Buffer::Append(const char* text, size_t n) {
    if (n == 0)
        return true;
    // One byte more than the text, for the NUL that always follows it.
    if (n >= SIZE_MAX - length - kResponseBufferStep)
        return false;
    const size_t needed = length + n + 1;
    if (needed > capacity) {
        const size_t grown = (needed + kResponseBufferStep - 1) / kResponseBufferStep * kResponseBufferStep;
        char* moved = static_cast<char*>(std::realloc(data, grown));
        if (!moved)
            return false;
        data = moved;
        capacity = grown;
    }
    std::memcpy(data + length, text, n);
    length += n;
    data[length] = '\0';
    return true;
}

void HttpResponse::Buffer::Clear() {
    length = 0;
    if (data)
        data[0] = '\0';
}

HttpResponse::~HttpResponse() {
    std::free(m_header.data);
    std::free(m_body.data);
}

void HttpResponse::AppendHeader(std::string_view text) {
    if (m_headersFinished)
        return;
    m_header.Append(text.data(), text.size());
}

void HttpResponse::BeginResponse(unsigned status) {
    m_header.Clear();
    m_body.Clear();
    m_headerRead = 0;
    m_bodyRead = 0;
    m_headersFinished = false;

    const StatusLine* known =
        std::find_if(std::begin(kStatusLines), std::end(kStatusLines),
                     [status](const StatusLine& entry) { return entry.status == status; });
    if (known != std::end(kStatusLines)) {
        AppendHeader(known->line);
    } else {
        char line[32];
        int length = std::snprintf(line, sizeof line, "HTTP/1.1 %u\r\n", status);
        AppendHeader(std::string_view(line, static_cast<size_t>(length)));
    }
    AddDateHeader("Date");
    AddHeader("Server", ServerIdentification());
}

void HttpResponse::AddHeader(std::string_view name, std::string_view value) {
    if (m_headersFinished)
        return;
    m_header.Append(name.data(), name.size());
    m_header.Append(": ", 2);
    m_header.Append(value.data(), value.size());
    m_header.Append("\r\n", 2);
}

void HttpResponse::AddHeaderLine(std::string_view text) {
    AppendHeader(text);
}

void HttpResponse::AddDateHeader(std::string_view name) {
    AddDateHeader(name, GetSystemTime());
}

void HttpResponse::AddDateHeader(std::string_view name, const SystemTime& time) {
    std::string text = InternetTimeFromSystemTime(time);
    // A time that has no HTTP form (a year past 9999) leaves the header out rather than send it empty,
    // which a client could not parse.
    if (text.empty())
        return;
    AddHeader(name, text);
}

void HttpResponse::AddFileTimeHeader(std::string_view name, FileTime time) {
    SystemTime converted;
    if (!FileTimeToSystemTime(time, converted))
        return;
    AddDateHeader(name, converted);
}

void HttpResponse::AddExpires(int hours, int minutes) {
    const int64_t spanMinutes = static_cast<int64_t>(hours) * 60 + minutes;
    const int64_t spanTicks = spanMinutes * 60 * static_cast<int64_t>(kTicksPerSecond);
    FileTime expires = GetSystemTimeAsFileTime();
    expires.ticks += static_cast<uint64_t>(spanTicks);
    AddFileTimeHeader("Expires", expires);
}

void HttpResponse::SetConnection(std::string_view value) {
    AddHeader("Connection", value);
}

void HttpResponse::SetContentType(std::string_view type) {
    AddHeader("Content-Type", type);
}

void HttpResponse::BeginHtmlPage(std::string_view title, std::string_view bgColor,
                                 std::string_view extraHead) {
    // Emptying the body after FinishHeaders would make the Content-Length already written a lie.
    if (m_headersFinished)
        return;
    m_body.Clear();
    AppendText(kPageHead);
    AppendText(HtmlEscape(title));
    AppendText("</TITLE>\r\n");
    AppendText(extraHead);
    AppendText("\r\n</HEAD>\r\n<BODY bgColor=\"");
    AppendText(bgColor);
    AppendText("\">\r\n");
}

void HttpResponse::AppendBody(const char* data, size_t length) {
    if (m_headersFinished || !data || length == 0)
        return;
    m_body.Append(data, length);
}

void HttpResponse::AppendText(std::string_view text) {
    AppendBody(text.data(), text.size());
}

void HttpResponse::FinishHeaders(Length length) {
    if (m_headersFinished)
        return;
    if (length == Length::Announce) {
        char digits[24];
        const auto written = std::to_chars(std::begin(digits), std::end(digits), BodyLength());
        AddHeader("Content-Length", std::string_view(digits, static_cast<size_t>(written.ptr - digits)));
    }
    AppendHeader("\r\n");
    m_headerRead = 0;
    m_bodyRead = 0;
    m_headersFinished = HasHeaders();
}

bool HttpResponse::HasHeaders() const {
    return m_header.data && m_header.length > 0;
}

uint64_t HttpResponse::BodyLength() const {
    return m_body.length;
}

size_t HttpResponse::ReadBody(char* dst, size_t n) {
    const size_t count = std::min(n, m_body.length - m_bodyRead);
    if (count > 0)
        std::memcpy(dst, m_body.data + m_bodyRead, count);
    m_bodyRead += count;
    return count;
}

bool HttpResponse::FileBody(FileBodyStretch&) const {
    return false;
}

void HttpResponse::SkipFileBody(uint64_t) {}

size_t HttpResponse::ReadResponse(char* dst, size_t n) {
    if (!m_headersFinished)
        return 0;
    const size_t fromHeader = std::min(n, m_header.length - m_headerRead);
    if (fromHeader > 0)
        std::memcpy(dst, m_header.data + m_headerRead, fromHeader);
    m_headerRead += fromHeader;
    if (m_headerRead < m_header.length || fromHeader == n)
        return fromHeader;
    return fromHeader + ReadBody(dst + fromHeader, n - fromHeader);
}

size_t HttpResponse::HeaderLength() const {
    return m_headersFinished ? m_header.length : 0;
}

uint64_t HttpResponse::TotalLength() const {
    return m_headersFinished ? m_header.length + BodyLength() : 0;
}

std::string_view HttpResponse::HeaderText() const {
    return m_header.View();
}

std::string_view HttpResponse::BodyText() const {
    return m_body.View();
}

void ComposeUnauthorized(HttpResponse& response) {
    response.BeginResponse(kUnauthorized);
    response.SetConnection("close");
    response.AddHeader("WWW-Authenticate", kAuthenticateChallenge);
    response.FinishHeaders();
}

}  // namespace sarvo
