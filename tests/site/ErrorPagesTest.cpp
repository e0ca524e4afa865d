#include "site/ErrorPages.h"

#include <gtest/gtest.h>

#include <string>

#include "server/HttpResponse.h"

namespace sarvo {
namespace {

const std::string kHeadingEnd =
    "</h3></td>\r\n<td align=\"right\" vAlign=\"middle\"><a style=\"color:#0000ff\" "
    "href=\"/\">Home</a></td>\r\n</tr>\r\n</table>\r\n<hr size=\"1\">\r\n";
const std::string kFooter =
    "<hr size=\"1\">\r\n<p style=\"text-align:right;margin-top:5\"><a style=\"color:#0000ff\" "
    "href=\"https://keldanworks.example/sarvo/\">Powered by Sarvo</a></p>\r\n</BODY>\r\n</HTML>\r\n";

std::string PageHead(const std::string& title) {
    HttpResponse frame;
    frame.BeginResponse(200);
    frame.BeginHtmlPage(title, "#ffffff");
    return std::string(frame.BodyText());
}

TEST(ErrorPages, NotFoundPageShowsTheHeadingAndEachRequestLine) {
    HttpResponse response;
    BuildErrorPage(response, 404, "GET /x HTTP/1.1\r\nHost: a\r\n\r\n");
    std::string expected =
        PageHead("Error") +
        "<table width=\"100%\" cols=\"2\">\r\n<tr>\r\n<td align=\"left\" vAlign=\"middle\"><h3 "
        "style=\"color:#ff0000;margin-top:9;margin-bottom:9\">Error 404 (Not Found)" +
        kHeadingEnd + "<h5>Request:</h5>\r\n<p>GET /x HTTP/1.1<br>\r\nHost: a<br>\r\n</p>\r\n" + kFooter;
    EXPECT_EQ(response.BodyText(), expected);
    std::string header(response.HeaderText());
    EXPECT_EQ(header.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
    EXPECT_NE(header.find("\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: " +
                          std::to_string(expected.size()) + "\r\n\r\n"),
              std::string::npos);
}

TEST(ErrorPages, ReasonTextsAndTheUnknownCode) {
    struct Case {
        unsigned status;
        const char* heading;
    } cases[] = {{400, "Error 400 (Bad Request)</h3>"},    {401, "Error 401 (Unauthorized)</h3>"},
                 {403, "Error 403 (Forbidden)</h3>"},      {405, "Error 405 (Method Not Allowed)</h3>"},
                 {406, "Error 406 (Not Acceptable)</h3>"}, {402, "Error 402 </h3>"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        HttpResponse response;
        BuildErrorPage(response, c.status, "");
        std::string body(response.BodyText());
        EXPECT_NE(body.find(c.heading), std::string::npos);
        EXPECT_EQ(body.find("Request:"), std::string::npos);
    }
}

TEST(ErrorPages, NoContentHasNeitherTypeNorBody) {
    HttpResponse response;
    BuildErrorPage(response, 204, "GET / HTTP/1.1\r\n\r\n");
    std::string header(response.HeaderText());
    EXPECT_EQ(header.rfind("HTTP/1.1 204 No Content\r\n", 0), 0u);
    EXPECT_EQ(header.find("Content-Type"), std::string::npos);
    EXPECT_NE(header.find("Content-Length: 0\r\n\r\n"), std::string::npos);
    EXPECT_EQ(response.BodyLength(), 0u);
}

TEST(ErrorPages, RequestLinesDropBlanksAndKeepMarkup) {
    HttpResponse response;
    response.BeginResponse(200);
    AppendRequestLines(response, "  GET /<b>x</b> HTTP/1.1\r\n\r\n\r\n   Host:  a \r\nX: 1");
    EXPECT_EQ(response.BodyText(), "GET /<b>x</b> HTTP/1.1<br>\r\nHost:  a <br>\r\nX: 1<br>\r\n");
}

TEST(ErrorPages, EchoPageHasNoRequestHeadingAndClosesTheParagraph) {
    HttpResponse response;
    BuildEchoPage(response, "GET /a?? HTTP/1.1\r\nHost: h\r\n\r\n");
    std::string expected =
        PageHead("Request Echo") +
        "<table width=\"100%\" cols=\"2\">\r\n<tr>\r\n<td align=\"left\" vAlign=\"middle\"><h3 "
        "style=\"color:#000000;margin-top:9;margin-bottom:9\">Request Echo" +
        kHeadingEnd + "GET /a?? HTTP/1.1<br>\r\nHost: h<br>\r\n</p>\r\n" + kFooter;
    EXPECT_EQ(response.BodyText(), expected);
    EXPECT_EQ(std::string(response.HeaderText()).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);

    HttpResponse empty;
    BuildEchoPage(empty, "");
    EXPECT_EQ(empty.BodyText(),
              PageHead("Request Echo") +
                  "<table width=\"100%\" cols=\"2\">\r\n<tr>\r\n<td align=\"left\" "
                  "vAlign=\"middle\"><h3 style=\"color:#000000;margin-top:9;margin-bottom:9\">"
                  "Request Echo" +
                  kHeadingEnd + kFooter);
}

}  // namespace
}  // namespace sarvo
