#include "site/ErrorPages.h"

#include <gtest/gtest.h>

#include <string>

#include "GoldenFile.h"
#include "SiteFiles.h"
#include "server/HttpResponse.h"

namespace sarvo {
namespace {

TEST(ErrorPages, WholePages) {
    HttpResponse notFound;
    BuildErrorPage(notFound, 404, "GET /x HTTP/1.1\r\nHost: a\r\n\r\n");
    test::ExpectMatchesGolden("error_404.golden", test::MaskedResponse(notFound));
    // No Content has neither type nor body.
    HttpResponse noContent;
    BuildErrorPage(noContent, 204, "GET / HTTP/1.1\r\n\r\n");
    test::ExpectMatchesGolden("error_204.golden", test::MaskedResponse(noContent));
    // The echo page has no request heading and closes the paragraph, also when there is no request.
    HttpResponse echo;
    BuildEchoPage(echo, "GET /a?? HTTP/1.1\r\nHost: h\r\n\r\n");
    test::ExpectMatchesGolden("echo.golden", test::MaskedResponse(echo));
    HttpResponse empty;
    BuildEchoPage(empty, "");
    test::ExpectMatchesGolden("echo_empty.golden", test::MaskedResponse(empty));
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

TEST(ErrorPages, RequestLinesDropBlanksAndEscapeMarkup) {
    HttpResponse response;
    response.BeginResponse(200);
    AppendRequestLines(response, "  GET /<b>x</b> HTTP/1.1\r\n\r\n\r\n   Host:  a \r\nX: 1");
    EXPECT_EQ(response.BodyText(), "GET /&lt;b&gt;x&lt;/b&gt; HTTP/1.1<br>\r\nHost:  a <br>\r\nX: 1<br>\r\n");
}

}  // namespace
}  // namespace sarvo
