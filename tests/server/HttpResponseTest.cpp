#include "server/HttpResponse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/FileTime.h"
#include "platform/InternetTime.h"

namespace sarvo {
namespace {

constexpr char kServerLine[] = "Server: Sarvo (https://keldanworks.example)\r\n";

std::string HeaderValue(std::string_view header, const std::string& name) {
    size_t start = header.find("\r\n" + name + ": ");
    if (start == std::string_view::npos)
        return "";
    start += name.size() + 4;
    return std::string(header.substr(start, header.find("\r\n", start) - start));
}

// The expected start of every header: the status line, then Date and Server.
std::string Head(const HttpResponse& response, const std::string& statusLine) {
    return statusLine + "\r\nDate: " + HeaderValue(response.HeaderText(), "Date") + "\r\n" + kServerLine;
}

int64_t UnixSecondsOf(const std::string& httpDate) {
    SystemTime time;
    FileTime ticks;
    if (!InternetTimeToSystemTime(httpDate, time) || !SystemTimeToFileTime(time, ticks))
        return -1;
    return FileTimeToUnixSeconds(ticks);
}

// Every known status line is also asserted on the wire (tests/server/ServerIntegrationTest.cpp) or in
// a golden page (error_204.golden); only a code the table does not know is left to check here.
TEST(HttpResponse, UnknownStatusHasNoReasonText) {
    HttpResponse response;
    response.BeginResponse(500);
    EXPECT_EQ(response.HeaderText(), Head(response, "HTTP/1.1 500"));
    EXPECT_EQ(HeaderValue(response.HeaderText(), "Date").size(), kInternetTimeLength);
}

TEST(HttpResponse, FinishedHeadersTable) {
    HttpResponse empty;
    empty.BeginResponse(204);
    empty.SetConnection("close");
    empty.FinishHeaders();
    HttpResponse restarted;
    restarted.BeginResponse(200);
    restarted.AppendText("first");
    restarted.FinishHeaders();
    restarted.BeginResponse(403);
    EXPECT_FALSE(restarted.HeadersFinished());
    restarted.SetConnection();
    restarted.FinishHeaders();
    HttpResponse unauthorized;
    ComposeUnauthorized(unauthorized);
    const std::string close = "Connection: close\r\n";
    const std::pair<const HttpResponse*, std::string> cases[] = {
        {&empty, "HTTP/1.1 204 No Content"},
        {&restarted, "HTTP/1.1 403 Forbidden"},
        {&unauthorized, "HTTP/1.1 401 Unauthorized"},
    };
    for (const auto& [response, statusLine] : cases) {
        SCOPED_TRACE(statusLine);
        const std::string challenge =
            response == &unauthorized ? "WWW-Authenticate: Basic realm=\"Sarvo\"\r\n" : "";
        EXPECT_EQ(response->HeaderText(),
                  Head(*response, statusLine) + close + challenge + "Content-Length: 0\r\n\r\n");
        EXPECT_EQ(response->BodyText(), "");
        EXPECT_EQ(response->TotalLength(), response->HeaderLength());
    }
}

TEST(HttpResponse, TypicalPageKeepsTheHandlersHeaderOrderAndIsFrozenWhenFinished) {
    HttpResponse response;
    response.BeginResponse(200);
    response.AddDateHeader("Last-Modified", SystemTime{1994, 11, 0, 6, 8, 49, 37, 500});
    response.AddFileTimeHeader("X-Never", FileTime{uint64_t{1} << 63});  // no HTTP form: left out
    response.AddExpires(2, 15);
    response.AddHeaderLine("");
    response.AddHeaderLine("Content-Range: bytes 0-99/1000\r\n");
    response.AddHeader("Accept-Ranges", "bytes");
    response.SetConnection();
    response.SetContentType();
    response.AppendText("<p>hello</p>");
    response.FinishHeaders();
    const std::string header(response.HeaderText());
    const std::string expires = HeaderValue(header, "Expires");
    EXPECT_EQ(
        header,
        Head(response, "HTTP/1.1 200 OK") + "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n" +
            "Expires: " + expires +
            "\r\nContent-Range: bytes 0-99/1000\r\nAccept-Ranges: bytes\r\n"
            "Connection: close\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 12\r\n\r\n");
    // Date and Expires are read from the clock in turn, so a second may tick over in between.
    const int64_t span = UnixSecondsOf(expires) - UnixSecondsOf(HeaderValue(header, "Date"));
    EXPECT_TRUE(span == 8100 || span == 8101) << span;

    response.AppendText("more");
    response.AppendBody("x", 1);
    response.BeginHtmlPage("Late", "#ffffff");
    response.AddHeader("X-Late", "1");
    response.SetConnection();
    response.FinishHeaders();
    EXPECT_EQ(response.HeaderText(), header);
    EXPECT_EQ(response.BodyText(), "<p>hello</p>");
}

// The head's bytes, the title and an extra head are checked by every page's golden file; here only that
// the frame starts the body afresh and takes the colour it is given.
TEST(HttpResponse, PageFrameReplacesTheBodyAndTakesItsColour) {
    HttpResponse response;
    response.BeginResponse(200);
    response.AppendText("dropped by the page frame");
    response.BeginHtmlPage("T", "#e0e0e0");
    const std::string body(response.BodyText());
    EXPECT_TRUE(body.starts_with("<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\"")) << body;
    EXPECT_TRUE(body.ends_with("<TITLE>T</TITLE>\r\n\r\n</HEAD>\r\n<BODY bgColor=\"#e0e0e0\">\r\n")) << body;
}

// Any bytes across buffer growth, handed out header first and each byte once, whatever the read size.
TEST(HttpResponse, ReadResponseGivesEveryByteOnce) {
    std::string bytes;
    for (size_t index = 0; index < 3 * kResponseBufferStep + 17; ++index)
        bytes.push_back(static_cast<char>(index * 7 % 256));
    for (size_t piece : {1u, 7u, 4096u}) {
        SCOPED_TRACE(piece);
        HttpResponse response;
        response.BeginResponse(200);
        for (size_t position = 0; position < bytes.size(); position += 1000)
            response.AppendBody(bytes.data() + position, std::min<size_t>(1000, bytes.size() - position));
        response.AppendBody(nullptr, 5);
        std::vector<char> buffer(piece);
        EXPECT_EQ(response.ReadResponse(buffer.data(), piece), 0u) << "headers not finished";
        response.FinishHeaders();
        const std::string header(response.HeaderText());
        EXPECT_EQ(HeaderValue(header, "Content-Length"), std::to_string(bytes.size()));
        // A read of exactly the header length hands out the header alone.
        std::string got(header.size(), '\0');
        EXPECT_EQ(response.ReadResponse(got.data(), got.size()), header.size());
        size_t count;
        while ((count = response.ReadResponse(buffer.data(), piece)) > 0)
            got.append(buffer.data(), count);
        EXPECT_TRUE(got == header + bytes);
        EXPECT_EQ(got.size(), response.TotalLength());
    }
}

}  // namespace
}  // namespace sarvo
