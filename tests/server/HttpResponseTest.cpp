#include "server/HttpResponse.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/FileTime.h"
#include "platform/InternetTime.h"

namespace sarvo {
namespace {

constexpr char kServerLine[] = "Server: Sarvo (https://keldanworks.example)\r\n";

// The header split into its lines, without their CR LF; the blank line that ends it is left out.
std::vector<std::string> HeaderLines(std::string_view header) {
    std::vector<std::string> lines;
    size_t position = 0;
    while (position < header.size()) {
        size_t end = header.find("\r\n", position);
        if (end == std::string_view::npos || end == position)
            break;
        lines.emplace_back(header.substr(position, end - position));
        position = end + 2;
    }
    return lines;
}

std::string HeaderValue(std::string_view header, const std::string& name) {
    for (const std::string& line : HeaderLines(header)) {
        if (line.rfind(name + ": ", 0) == 0)
            return line.substr(name.size() + 2);
    }
    return "";
}

std::string DateLine(const HttpResponse& response) {
    return "Date: " + HeaderValue(response.HeaderText(), "Date") + "\r\n";
}

int64_t UnixSecondsOf(const std::string& httpDate) {
    SystemTime time;
    FileTime ticks;
    if (!InternetTimeToSystemTime(httpDate, time) || !SystemTimeToFileTime(time, ticks))
        return -1;
    return FileTimeToUnixSeconds(ticks);
}

TEST(HttpResponse, StatusLinesFollowTheTable) {
    struct Case {
        unsigned status;
        const char* line;
    } cases[] = {
        {200, "HTTP/1.1 200 OK\r\n"},
        {204, "HTTP/1.1 204 No Content\r\n"},
        {206, "HTTP/1.1 206 Partial Content\r\n"},
        {304, "HTTP/1.1 304 Not Modified\r\n"},
        {400, "HTTP/1.1 400 Bad Request\r\n"},
        {401, "HTTP/1.1 401 Unauthorized\r\n"},
        {403, "HTTP/1.1 403 Forbidden\r\n"},
        {404, "HTTP/1.1 404 Not Found\r\n"},
        {405, "HTTP/1.1 405\r\n"},
        {500, "HTTP/1.1 500\r\n"},
        {999, "HTTP/1.1 999\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        HttpResponse response;
        response.BeginResponse(c.status);
        std::string header(response.HeaderText());
        std::string expected = std::string(c.line) + DateLine(response) + kServerLine;
        EXPECT_EQ(header, expected);
    }
}

TEST(HttpResponse, TypicalPageKeepsTheHandlersHeaderOrder) {
    HttpResponse response;
    response.BeginResponse(200);
    response.AddDateHeader("Last-Modified");
    response.AddExpires(0, 30);
    response.AddHeader("Accept-Ranges", "bytes");
    response.SetConnection();
    response.SetContentType();
    response.AppendText("<p>hello</p>");
    response.FinishHeaders();

    std::vector<std::string> names;
    for (const std::string& line : HeaderLines(response.HeaderText()))
        names.push_back(line.substr(0, line.find(':')));
    EXPECT_EQ(names,
              (std::vector<std::string>{"HTTP/1.1 200 OK", "Date", "Server", "Last-Modified", "Expires",
                                        "Accept-Ranges", "Connection", "Content-Type", "Content-Length"}));
    std::string header(response.HeaderText());
    EXPECT_NE(header.find(kServerLine), std::string::npos);
    EXPECT_EQ(
        header.substr(header.find("Accept-Ranges")),
        "Accept-Ranges: bytes\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 12\r\n\r\n");
    EXPECT_EQ(HeaderValue(header, "Date").size(), kInternetTimeLength);
    EXPECT_EQ(response.BodyText(), "<p>hello</p>");
}

TEST(HttpResponse, ExpiresLiesTheGivenSpanAhead) {
    struct Case {
        int hours;
        int minutes;
        int64_t seconds;
    } cases[] = {{0, 1, 60}, {0, 5, 300}, {0, 30, 1800}, {2, 15, 8100}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        HttpResponse response;
        response.BeginResponse(200);
        response.AddExpires(c.hours, c.minutes);
        int64_t date = UnixSecondsOf(HeaderValue(response.HeaderText(), "Date"));
        int64_t expires = UnixSecondsOf(HeaderValue(response.HeaderText(), "Expires"));
        ASSERT_GT(date, 0);
        ASSERT_GT(expires, 0);
        // Both are read from the clock in turn, so a second may tick over in between.
        EXPECT_GE(expires - date, c.seconds);
        EXPECT_LE(expires - date, c.seconds + 1);
    }
}

TEST(HttpResponse, DateHeadersTakeTheGivenTime) {
    SystemTime time{1994, 11, 0, 6, 8, 49, 37, 500};
    FileTime ticks;
    ASSERT_TRUE(SystemTimeToFileTime(time, ticks));

    HttpResponse response;
    response.BeginResponse(200);
    response.AddDateHeader("Last-Modified", time);
    response.AddFileTimeHeader("X-File", ticks);
    std::string header(response.HeaderText());
    EXPECT_NE(
        header.find("\r\nLast-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\nX-File: Sun, 06 Nov 1994 08:49:37 "
                    "GMT\r\n"),
        std::string::npos)
        << header;
}

TEST(HttpResponse, TimeWithoutAnHttpFormLeavesTheHeaderOut) {
    HttpResponse response;
    response.BeginResponse(200);
    const std::string before(response.HeaderText());
    response.AddDateHeader("Last-Modified", SystemTime{10000, 1, 0, 1, 0, 0, 0, 0});
    response.AddFileTimeHeader("Last-Modified", FileTime{uint64_t{1} << 63});
    EXPECT_EQ(response.HeaderText(), before);
}

TEST(HttpResponse, HeaderLinesGoInAsGivenAndEmptyOnesAreDropped) {
    HttpResponse response;
    response.BeginResponse(206);
    const std::string before(response.HeaderText());
    response.AddHeaderLine("");
    EXPECT_EQ(response.HeaderText(), before);
    response.AddHeaderLine("Content-Range: bytes 0-99/1000\r\n");
    response.AddHeader("ETag", "\"3e8-1-2\"");
    EXPECT_EQ(response.HeaderText(), before + "Content-Range: bytes 0-99/1000\r\nETag: \"3e8-1-2\"\r\n");
}

TEST(HttpResponse, EmptyBodyStillCarriesContentLengthZero) {
    HttpResponse response;
    response.BeginResponse(204);
    response.SetConnection("close");
    response.FinishHeaders();
    std::string header(response.HeaderText());
    EXPECT_EQ(header, "HTTP/1.1 204 No Content\r\n" + DateLine(response) + kServerLine +
                          "Connection: close\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(response.BodyLength(), 0u);
    EXPECT_EQ(response.TotalLength(), header.size());
}

TEST(HttpResponse, NothingIsAddedOnceTheHeadersAreFinished) {
    HttpResponse response;
    response.BeginResponse(200);
    response.SetContentType("text/plain");
    response.AppendText("abc");
    response.FinishHeaders();
    const std::string header(response.HeaderText());
    ASSERT_TRUE(response.HeadersFinished());

    response.AppendText("more");
    response.AppendBody("x", 1);
    response.BeginHtmlPage("Late", "#ffffff");
    response.AddHeader("X-Late", "1");
    response.AddHeaderLine("X-Late: 2\r\n");
    response.SetConnection();
    response.AddExpires(0, 1);
    response.FinishHeaders();

    EXPECT_EQ(response.HeaderText(), header);
    EXPECT_EQ(response.BodyText(), "abc");
    EXPECT_NE(header.find("Content-Length: 3\r\n\r\n"), std::string::npos);
    EXPECT_EQ(header.find("Content-Length"), header.rfind("Content-Length"));
}

TEST(HttpResponse, PageHeadIsTheSharedFrame) {
    const std::string expected =
        "<HTML>\r\n"
        "<HEAD>\r\n"
        "<META HTTP-EQUIV=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
        "<STYLE TYPE=\"TEXT/CSS\">\r\n"
        "BODY{font: x-small Verdana, Arial, Helvetica, sans-serif}\r\n"
        "h1, h2, h3, h4{font-family: verdana, Arial, Helvetica, sans-serif;\tfont-weight: bold;color: "
        "#000000}\r\n"
        "h1{font-size:145%;margin-bottom:.5em}\r\n"
        "h2{font-size:125%;margin-top:1.5em;margin-bottom:.5em}\r\n"
        "h3{font-size:115%; margin-top:1.2em;margin-bottom:.5em}\r\n"
        "h4{font-size:115%;margin-top:0.3em;margin-bottom:1em}\r\n"
        "h5{font-size:100%;margin-top:1em;margin-bottom:1em}\r\n"
        "P{font:x-small "
        "Verdana,Arial,Helvetica,sans-serif;color:#000000;margin-top:.5em;margin-bottom:.5em}\r\n"
        "TD{font-size:x-small;padding-top:0;padding-bottom:0}\r\n"
        "th{font-size:x-small;color:#ffffff;background-color:#0080ff;font-weight:normal;padding-top:2;"
        "padding-"
        "bottom:2}\r\n"
        "UL{margin-top:12;margin-bottom:0;list-style:disc}\r\n"
        "LI{margin-top:.5em;margin-bottom:.5em}\r\n"
        "</STYLE>\r\n"
        "<TITLE>Shared Files</TITLE>\r\n"
        "<script>x()</script>\r\n"
        "</HEAD>\r\n"
        "<BODY bgColor=\"#ffffff\">\r\n";
    HttpResponse response;
    response.BeginResponse(200);
    response.AppendText("dropped by the page frame");
    response.BeginHtmlPage("Shared Files", "#ffffff", "<script>x()</script>");
    EXPECT_EQ(response.BodyText(), expected);

    HttpResponse plain;
    plain.BeginResponse(200);
    plain.BeginHtmlPage("T", "#e0e0e0");
    const std::string plainBody(plain.BodyText());
    EXPECT_EQ(plainBody.substr(plainBody.find("<TITLE>")),
              "<TITLE>T</TITLE>\r\n\r\n</HEAD>\r\n<BODY bgColor=\"#e0e0e0\">\r\n");
}

TEST(HttpResponse, BodyKeepsAnyBytesAcrossBufferSteps) {
    std::string bytes;
    for (size_t index = 0; index < 3 * kResponseBufferStep + 17; ++index)
        bytes.push_back(static_cast<char>(index * 7 % 256));
    HttpResponse response;
    response.BeginResponse(200);
    for (size_t position = 0; position < bytes.size(); position += 1000)
        response.AppendBody(bytes.data() + position, std::min<size_t>(1000, bytes.size() - position));
    response.AppendBody(nullptr, 5);
    response.AppendBody("ignored", 0);
    response.FinishHeaders();
    EXPECT_EQ(response.BodyText(), bytes);
    EXPECT_EQ(response.BodyLength(), bytes.size());
    EXPECT_EQ(HeaderValue(response.HeaderText(), "Content-Length"), std::to_string(bytes.size()));
}

TEST(HttpResponse, ReadResponseHandsOutTheHeaderThenTheBody) {
    HttpResponse response;
    response.BeginResponse(200);
    response.SetConnection();
    response.AppendText("0123456789abcdefghij");
    char buffer[64];
    EXPECT_EQ(response.ReadResponse(buffer, sizeof buffer), 0u);
    EXPECT_EQ(response.HeaderLength(), 0u);
    EXPECT_EQ(response.TotalLength(), 0u);

    response.FinishHeaders();
    const std::string header(response.HeaderText());
    EXPECT_EQ(response.HeaderLength(), header.size());
    EXPECT_EQ(response.TotalLength(), header.size() + 20);

    // A read of exactly the header length hands out the header alone.
    std::string whole(header.size(), '\0');
    EXPECT_EQ(response.ReadResponse(whole.data(), whole.size()), header.size());
    EXPECT_EQ(whole, header);
    std::string rest;
    size_t count;
    while ((count = response.ReadResponse(buffer, 7)) > 0)
        rest.append(buffer, count);
    EXPECT_EQ(rest, "0123456789abcdefghij");
}

TEST(HttpResponse, ReadResponseInSmallPiecesGivesEveryByteOnce) {
    for (size_t piece : {1u, 3u, 7u, 64u, 4096u}) {
        SCOPED_TRACE(piece);
        HttpResponse response;
        response.BeginResponse(404);
        response.SetConnection();
        response.SetContentType();
        response.AppendText("<p>missing</p>");
        response.FinishHeaders();
        std::string got;
        std::vector<char> buffer(piece);
        size_t count;
        while ((count = response.ReadResponse(buffer.data(), piece)) > 0)
            got.append(buffer.data(), count);
        EXPECT_EQ(got, std::string(response.HeaderText()) + "<p>missing</p>");
        EXPECT_EQ(got.size(), response.TotalLength());
    }
}

TEST(HttpResponse, BeginResponseStartsOver) {
    HttpResponse response;
    response.BeginResponse(200);
    response.AppendText("first");
    response.FinishHeaders();
    char buffer[16];
    response.ReadResponse(buffer, sizeof buffer);

    response.BeginResponse(403);
    EXPECT_FALSE(response.HeadersFinished());
    EXPECT_EQ(response.BodyText(), "");
    response.SetConnection();
    response.FinishHeaders();
    EXPECT_EQ(response.HeaderText(), "HTTP/1.1 403 Forbidden\r\n" + DateLine(response) + kServerLine +
                                         "Connection: close\r\nContent-Length: 0\r\n\r\n");
    std::string all(response.HeaderLength() + 8, '\0');
    EXPECT_EQ(response.ReadResponse(all.data(), all.size()), response.HeaderLength());
}

TEST(HttpResponse, ReadyMadeAnswers) {
    HttpResponse notModified;
    ComposeNotModified(notModified);
    EXPECT_EQ(notModified.HeaderText(), "HTTP/1.1 304 Not Modified\r\n" + DateLine(notModified) +
                                            kServerLine + "Connection: close\r\nContent-Length: 0\r\n\r\n");
    EXPECT_TRUE(notModified.HeadersFinished());

    HttpResponse unauthorized;
    ComposeUnauthorized(unauthorized);
    EXPECT_EQ(unauthorized.HeaderText(), "HTTP/1.1 401 Unauthorized\r\n" + DateLine(unauthorized) +
                                             kServerLine +
                                             "Connection: close\r\nWWW-Authenticate: Basic "
                                             "realm=\"Sarvo\"\r\nContent-Length: 0\r\n\r\n");
}

TEST(HttpResponse, UnstartedResponseHasNoHeaders) {
    HttpResponse response;
    EXPECT_FALSE(response.HasHeaders());
    EXPECT_FALSE(response.HeadersFinished());
    EXPECT_EQ(response.HeaderText(), "");
    EXPECT_EQ(response.BodyText(), "");
    response.BeginResponse(200);
    EXPECT_TRUE(response.HasHeaders());
}

}  // namespace
}  // namespace sarvo
