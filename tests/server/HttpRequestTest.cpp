#include "server/HttpRequest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace sarvo {
namespace {

using namespace std::string_literals;

constexpr size_t kNotFound = std::string_view::npos;

std::string EncodeBase64(std::string_view text) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 3 <= text.size(); i += 3) {
        uint32_t bits = (static_cast<uint8_t>(text[i]) << 16) | (static_cast<uint8_t>(text[i + 1]) << 8) |
                        static_cast<uint8_t>(text[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            out.push_back(kAlphabet[(bits >> shift) & 63]);
    }
    if (text.size() - i == 1) {
        uint32_t bits = static_cast<uint8_t>(text[i]) << 16;
        out += {kAlphabet[(bits >> 18) & 63], kAlphabet[(bits >> 12) & 63], '=', '='};
    } else if (text.size() - i == 2) {
        uint32_t bits = (static_cast<uint8_t>(text[i]) << 16) | (static_cast<uint8_t>(text[i + 1]) << 8);
        out += {kAlphabet[(bits >> 18) & 63], kAlphabet[(bits >> 12) & 63], kAlphabet[(bits >> 6) & 63], '='};
    }
    return out;
}

std::string WithHeader(const std::string& line) {
    return "GET / HTTP/1.1\r\nHost: example\r\n" + line + "\r\n\r\n";
}

struct ParseCase {
    const char* description;
    std::string block;
    int method;
    std::string methodText;
    std::string path;
    std::string query;
    bool malformed;
    bool acceptable;
};

TEST(HttpRequestParse, RequestLineTable) {
    const ParseCase cases[] = {
        {"path kept undecoded, query after '?'", "GET /a%20b/c.txt?x HTTP/1.1\r\nHost: h\r\n\r\n", kMethodGet,
         "GET", "/a%20b/c.txt", "x", false, true},
        {"lower-case method", "get / HTTP/1.0\r\n\r\n", kMethodGet, "get", "/", "", false, true},
        {"no HTTP version", "GET /index.htm\r\n\r\n", kMethodGet, "GET", "/index.htm", "", false, true},
        {"unknown method", "PROPFIND /dav HTTP/1.1\r\n\r\n", kMethodUnknown, "PROPFIND", "/dav", "", false,
         false},
        {"POST", "POST /up HTTP/1.1\r\n\r\n", kMethodPost, "POST", "/up", "", false, true},
        {"HEAD", "HeAd / HTTP/1.1\r\n\r\n", kMethodHead, "HeAd", "/", "", false, true},
        {"OPTIONS", "OPTIONS * HTTP/1.1\r\n\r\n", kMethodOptions, "OPTIONS", "*", "", false, true},
        {"DELETE", "DELETE /x HTTP/1.1\r\n\r\n", kMethodDelete, "DELETE", "/x", "", false, true},
        {"PUT", "PUT /x HTTP/1.1\r\n\r\n", kMethodPut, "PUT", "/x", "", false, true},
        {"TRACE", "TRACE /x HTTP/1.1\r\n\r\n", kMethodTrace, "TRACE", "/x", "", false, true},
        {"method is a whole token", "GETS / HTTP/1.1\r\n\r\n", kMethodUnknown, "GETS", "/", "", false, false},
        {"leading line ends and blanks skipped", "\r\n\r\n \t GET /p HTTP/1.1\r\n\r\n", kMethodGet, "GET",
         "/p", "", false, true},
        {"runs of blanks and tabs", "GET \t /p \t HTTP/1.1\r\n\r\n", kMethodGet, "GET", "/p", "", false,
         true},
        {"blanks after '?' skipped", "GET /a?  q HTTP/1.1\r\n\r\n", kMethodGet, "GET", "/a", "q", false,
         true},
        {"a bare '?' takes the next word as the query", "GET /a? HTTP/1.1\r\n\r\n", kMethodGet, "GET", "/a",
         "HTTP/1.1", false, true},
        {"second '?' belongs to the query", "GET /a??x HTTP/1.1\r\n\r\n", kMethodGet, "GET", "/a", "?x",
         false, true},
        {"query ends at a tab", "GET /a?x\ty HTTP/1.1\r\n\r\n", kMethodGet, "GET", "/a", "x", false, true},
        {"bare LF line ends", "GET /lf HTTP/1.1\nHost: x\n\n", kMethodGet, "GET", "/lf", "", false, true},
        {"no path", "GET\r\n\r\n", kMethodGet, "GET", "", "", false, false},
        {"blank path", "GET   \r\n\r\n", kMethodGet, "GET", "", "", false, false},
        {"query only", "GET ?x HTTP/1.1\r\n\r\n", kMethodGet, "GET", "", "x", false, false},
        {"0xE9 is not malformed", "GET /caf\xE9 HTTP/1.1\r\n\r\n", kMethodGet, "GET", "/caf\xE9", "", false,
         true},
        {"0x80 is not malformed", "GET /\x80 HTTP/1.1\r\n\r\n", kMethodGet, "GET", "/\x80", "", false, true},
        {"control byte", "GET /\x01 HTTP/1.1\r\n\r\n", kMethodUnknown, "", "", "", true, false},
        {"escape in a header line", "GET / HTTP/1.1\r\nX: \x1b[2J\r\n\r\n", kMethodUnknown, "", "", "", true,
         false},
        {"NUL", "GET /\0x HTTP/1.1\r\n\r\n"s, kMethodUnknown, "", "", "", true, false},
        {"DEL", "GET /\x7F HTTP/1.1\r\n\r\n", kMethodUnknown, "", "", "", true, false},
        {"0xFF", "GET /\xFF HTTP/1.1\r\n\r\n", kMethodUnknown, "", "", "", true, false},
        {"0xFE passes", "GET /\xFE HTTP/1.1\r\n\r\n", kMethodGet, "GET", "/\xFE", "", false, true},
        {"method over 30 characters", std::string(31, 'G') + " / HTTP/1.1\r\n\r\n", kMethodUnknown,
         std::string(31, 'G'), "/", "", false, false},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.description);
        HttpRequest request;
        request.Parse(c.block);
        EXPECT_EQ(request.Method(), c.method);
        EXPECT_EQ(request.MethodText(), c.methodText);
        EXPECT_EQ(request.Path(), c.path);
        EXPECT_EQ(request.Query(), c.query);
        EXPECT_EQ(request.IsMalformed(), c.malformed);
        EXPECT_EQ(request.IsAcceptable(), c.acceptable);
        // A malformed request keeps no copy, so that no page echoes its bytes.
        EXPECT_EQ(request.RawHeader(), c.malformed ? std::string() : c.block);
    }
}

TEST(HttpRequestParse, ParsingAgainStartsFromScratch) {
    HttpRequest request;
    request.Parse("POST /up?x HTTP/1.1\r\nContent-Length: 5\r\n\r\n");
    ASSERT_EQ(request.Method(), kMethodPost);
    request.Parse("GET /\x02 HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(request.IsMalformed());
    EXPECT_EQ(request.Method(), kMethodUnknown);
    EXPECT_EQ(request.Path(), "");
    EXPECT_EQ(request.Query(), "");
    EXPECT_EQ(request.Header("Content-Length"), "");
    request.Parse("");
    EXPECT_FALSE(request.IsMalformed());
    EXPECT_FALSE(request.IsAcceptable());
    EXPECT_EQ(request.RawHeader(), "");
    // Absent texts are empty but still point somewhere, for callers that want a C string.
    EXPECT_NE(request.Path().data(), nullptr);
    EXPECT_NE(request.Header("Host").data(), nullptr);
}

TEST(HttpRequestParse, PathLengthLimits) {
    const std::string seg48(48, 'a');
    const std::string seg49(49, 'a');
    struct Case {
        const char* description;
        std::string path;
        bool acceptable;
    } cases[] = {
        {"first segment of 48", "/" + seg48, true},
        {"first segment of 49", "/" + seg49, false},
        {"first segment of 48 behind several separators", "//\\/" + seg48 + "/x", true},
        {"first segment of 49 behind a backslash", "\\" + seg49, false},
        {"first segment ends at a backslash", "/" + seg48 + "\\" + std::string(255, 'b'), true},
        {"rest of 256 with its separator", "/share/" + std::string(255, 'b'), true},
        {"rest of 257 with its separator", "/share/" + std::string(256, 'b'), false},
        {"rest of 256 made of separators and segments", "/s" + std::string(128, '/') + std::string(128, 'c'),
         true},
        {"separators only", "////", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        HttpRequest request;
        request.Parse("GET " + c.path + " HTTP/1.1\r\n\r\n");
        ASSERT_EQ(request.Path(), c.path);
        EXPECT_EQ(request.IsAcceptable(), c.acceptable);
    }
}

TEST(HttpRequestHeader, LookupTable) {
    HttpRequest request;
    request.Parse(
        "GET /x HTTP/1.1\r\n"
        "Host: example\r\n"
        "content-length:      123\r\n"
        "X-Tab:\t\tvalue with blanks \r\n"
        "Accept::: \t text/html\r\n"
        "X-Empty:\r\n"
        "X-Folded: first\r\n"
        "   second\r\n"
        "Host: second-host\r\n"
        "\r\n");
    struct Case {
        const char* name;
        const char* value;
    } cases[] = {
        {"Host", "example"},
        {"HOST", "example"},
        {"Content-Length", "123"},
        {"CONTENT-length", "123"},
        {"X-Tab", "value with blanks "},
        {"Accept", "text/html"},
        {"X-Empty", ""},
        {"X-Folded", "first"},
        // A folded continuation is a line of its own.
        {"second", ""},
        // The match is by prefix, so a short name finds a longer header.
        {"Ho", "st: example"},
        {"Content", "-length:      123"},
        {"Missing", ""},
        {"", ""},
        // The request line is not a header line.
        {"GET", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(request.Header(c.name), c.value);
    }
    EXPECT_EQ(request.ContentType(), "");
}

TEST(HttpRequestHeader, ContentLengthTable) {
    constexpr uint64_t kKept = 77;
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    struct Case {
        const char* description;
        std::string line;
        uint64_t expected;
    } cases[] = {
        {"absent", "X-Other: 5", kKept},
        {"plain", "Content-Length: 123", 123},
        {"blanks and tabs after the colon", "content-length: \t  123", 123},
        {"zero", "Content-Length: 0", 0},
        {"digits then text", "Content-Length: 12abc", 12},
        {"no digits", "Content-Length: abc", kKept},
        {"empty", "Content-Length:", kKept},
        {"a sign is not a digit", "Content-Length: -5", kKept},
        {"largest 64-bit value", "Content-Length: 18446744073709551615", kMax},
        {"beyond 64 bits reads as the largest", "Content-Length: 18446744073709551616", kMax},
        {"far beyond 64 bits", "Content-Length: 99999999999999999999999999", kMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        HttpRequest request;
        request.Parse(WithHeader(c.line));
        uint64_t length = kKept;
        EXPECT_TRUE(request.ContentLength(length));
        EXPECT_EQ(length, c.expected);
    }
}

TEST(HttpRequestHeader, BasicCredentialsTable) {
    const std::string user255(255, 'u');
    const std::string password300(300, 'p');
    struct Case {
        const char* description;
        std::string value;  // the Authorization header value; empty: no header
        bool usable;
        std::string user;
        std::string password;
    } cases[] = {
        {"user and password", "Basic dXNlcjpwYXNz", true, "user", "pass"},
        {"scheme in any case, blanks and tabs after it", "bAsIc \t dXNlcjpwYXNz", true, "user", "pass"},
        {"empty password", "Basic " + EncodeBase64("user:"), true, "user", ""},
        {"no colon", "Basic " + EncodeBase64("user"), false, "", ""},
        {"later colons belong to the password", "Basic " + EncodeBase64("a:b:c"), true, "a", "b:c"},
        {"empty user", "Basic " + EncodeBase64(":pw"), true, "", "pw"},
        {"one padding character", "Basic " + EncodeBase64("a:bcd"), true, "a", "bcd"},
        {"trailing partial group ignored", "Basic dXNlcjpwYXNzcXk", true, "user", "pass"},
        {"trailing partial group with a bad character ignored", "Basic dXNlcjpwYXNz!", true, "user", "pass"},
        {"character outside the alphabet", "Basic dXNl!jpwYXNz", false, "", ""},
        {"character above 127", "Basic dXNlcjp\xE9YXNz", false, "", ""},
        {"padding too early in a group", "Basic YTpi=Q==", false, "", ""},
        {"text after padding in a group", "Basic YTpiYT=j", false, "", ""},
        {"another scheme", "Bearer dXNlcjpwYXNz", false, "", ""},
        {"no header", "", false, "", ""},
        {"NUL in the decoded text", "Basic " + EncodeBase64("us\0er:pw"s), false, "", ""},
        {"user of 255", "Basic " + EncodeBase64(user255 + ":x"), true, user255, "x"},
        {"user of 256", "Basic " + EncodeBase64(user255 + "u:x"), false, "", ""},
        {"password cut to 255", "Basic " + EncodeBase64("u:" + password300), true, "u",
         password300.substr(0, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        HttpRequest request;
        request.Parse(c.value.empty() ? WithHeader("X-None: 1") : WithHeader("Authorization: " + c.value));
        ASSERT_FALSE(request.IsMalformed());
        std::string user = "before";
        std::string password = "before";
        EXPECT_EQ(request.BasicCredentials(user, password), c.usable);
        if (c.usable) {
            EXPECT_EQ(user, c.user);
            EXPECT_EQ(password, c.password);
        }
    }
}

TEST(HttpRequestHeader, MultipartBoundaryTable) {
    struct Case {
        const char* description;
        std::string contentType;  // empty: no header
        bool found;
        std::string boundary;
    } cases[] = {
        {"usual form", "multipart/form-data; boundary=----WebKitFormBoundary7MA4", true,
         "----WebKitFormBoundary7MA4"},
        {"any case, no blank", "Multipart/Form-Data;BOUNDARY=xyz; charset=utf-8", true, "xyz"},
        {"comma and blanks before the word", "multipart/form-data ,; \t boundary=ab,cd", true, "ab"},
        {"blanks before '='", "multipart/form-data; boundary \t=q", true, "q"},
        {"blank after '=' gives an empty boundary", "multipart/form-data; boundary= q", true, ""},
        {"quotes are kept", "multipart/form-data; boundary=\"quoted\"", true, "\"quoted\""},
        {"ends at a tab", "multipart/form-data; boundary=abc\tdef", true, "abc"},
        {"another type", "text/plain; boundary=x", false, ""},
        {"another parameter first", "multipart/form-data; charset=utf-8; boundary=x", false, ""},
        {"no '='", "multipart/form-data; boundary", false, ""},
        {"no header", "", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        HttpRequest request;
        request.Parse(WithHeader(c.contentType.empty() ? "X-None: 1" : "Content-Type: " + c.contentType));
        std::string_view boundary = "unchanged";
        EXPECT_EQ(request.MultipartBoundary(boundary), c.found);
        if (c.found) {
            EXPECT_EQ(boundary, c.boundary);
        }
    }
}

TEST(HttpRequestHeader, UploadFileNameTable) {
    struct Case {
        const char* description;
        std::string disposition;  // empty: no header
        bool found;
        std::string value;
        std::string bareName;
    } cases[] = {
        {"quoted Windows path", R"(form-data; name="file"; filename="C:\dir\photo.jpg")", true,
         R"(C:\dir\photo.jpg)", "photo.jpg"},
        {"unquoted Windows path", R"(form-data; name="file"; filename=C:\dir\photo.jpg)", true,
         R"(C:\dir\photo.jpg)", "photo.jpg"},
        {"single quotes, forward slashes", "form-data; filename='a/b/c.txt'; x=y", true, "a/b/c.txt",
         "c.txt"},
        {"first in the value", "filename=x.txt", true, "x.txt", "x.txt"},
        {"any case, blanks around '='", "form-data;FILENAME \t= \"up.bin\"", true, "up.bin", "up.bin"},
        {"unquoted ends at ';'", "form-data; filename=a.txt; size=3", true, "a.txt", "a.txt"},
        {"quoted keeps ';'", "form-data; filename=\"a;b.txt\"", true, "a;b.txt", "a;b.txt"},
        {"unclosed quote runs to the end", "form-data; filename=\"abc", true, "abc", "abc"},
        {"mixed separators", R"(form-data; filename="C:\dir/sub\name.tar.gz")", true,
         R"(C:\dir/sub\name.tar.gz)", "name.tar.gz"},
        {"empty name", "form-data; name=\"f\"; filename=\"\"", false, "", ""},
        {"folder only", R"(form-data; filename="C:\dir\")", false, "", ""},
        {"no file name", "form-data; name=\"f\"", false, "", ""},
        {"word not followed by '='", "form-data; filename*=UTF-8''x.txt", false, "", ""},
        {"no header", "", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        HttpRequest request;
        request.Parse(
            WithHeader(c.disposition.empty() ? "X-None: 1" : "Content-Disposition: " + c.disposition));
        std::string_view value = "unchanged";
        std::string_view bareName = "unchanged";
        EXPECT_EQ(request.UploadFileName(value, bareName), c.found);
        if (c.found) {
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(bareName, c.bareName);
        }
    }
}

// The upload writer parses the part headers of a multipart body with this same type.
TEST(HttpRequestHeader, PartHeadersOfAMultipartBody) {
    HttpRequest part;
    part.Parse(
        "\r\n------b\r\nContent-Disposition: form-data; name=\"f\"; filename=\"notes.txt\"\r\n"
        "Content-Type: text/plain\r\n\r\n");
    std::string_view value;
    std::string_view bareName;
    ASSERT_TRUE(part.UploadFileName(value, bareName));
    EXPECT_EQ(bareName, "notes.txt");
    EXPECT_EQ(part.ContentType(), "text/plain");
}

TEST(HttpRequestBytes, FindHeaderEndTable) {
    struct Case {
        const char* description;
        std::string data;
        size_t expected;
    } cases[] = {
        {"empty", "", kNotFound},
        {"only the end", "\r\n\r\n", 4},
        {"request with a body behind", "GET / HTTP/1.1\r\n\r\nbody\r\n\r\n", 18},
        {"one CR short", "GET / HTTP/1.1\r\n\r", kNotFound},
        {"bare LFs do not end it", "GET / HTTP/1.1\n\n", kNotFound},
        {"CR CR LF LF does not end it", "GET /\r\r\n\n", kNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(FindHeaderEnd(c.data), c.expected);
    }
}

TEST(HttpRequestBytes, HeaderEndFoundInRandomPieces) {
    const std::string header =
        "POST /share/upload?postfile HTTP/1.1\r\nHost: example\r\nContent-Type: multipart/form-data; "
        "boundary=xyz\r\nContent-Length: 11\r\n\r\n";
    const std::string wire = header + "hello\r\n\r\nend";
    for (unsigned seed = 0; seed < 200; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::string received;
        size_t found = kNotFound;
        while (received.size() < wire.size()) {
            const size_t piece = 1 + random() % 17;
            received += wire.substr(received.size(), piece);
            found = FindHeaderEnd(received);
            if (received.size() < header.size())
                ASSERT_EQ(found, kNotFound) << "at " << received.size();
            else
                ASSERT_EQ(found, header.size()) << "at " << received.size();
        }
        HttpRequest request;
        request.Parse(std::string_view(received).substr(0, found));
        EXPECT_EQ(request.Method(), kMethodPost);
        EXPECT_EQ(request.Path(), "/share/upload");
        EXPECT_EQ(request.Query(), "postfile");
        uint64_t length = 0;
        request.ContentLength(length);
        EXPECT_EQ(length, 11u);
    }
}

TEST(HttpRequestBytes, ForbiddenPartialHeaderBytes) {
    struct Case {
        const char* description;
        std::string data;
        bool forbidden;
    } cases[] = {
        {"plain request text", "GET /a?b HTTP/1.1\r\nHost: x\t\r\n", false},
        {"empty", "", false},
        {"printable edges", " ~", false},
        {"0xE9", "GET /caf\xE9", true},
        {"0x80", "\x80", true},
        {"0xFF", "\xFF", true},
        {"DEL", "\x7F", true},
        {"unit separator", "\x1F", true},
        {"vertical tab", "\v", true},
        {"NUL", "GET\0"s, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(HasForbiddenPartialHeaderByte(c.data), c.forbidden);
    }
}

// The same header that blocks its sender when it arrives in pieces is a normal request when it
// arrives whole: the partial check is stricter than the parser.
TEST(HttpRequestBytes, HighByteBlocksOnlyInAPartialHeader) {
    const std::string block = "GET /caf\xE9.htm HTTP/1.1\r\nHost: x\r\n\r\n";
    EXPECT_TRUE(HasForbiddenPartialHeaderByte(block.substr(0, 12)));
    HttpRequest request;
    request.Parse(block);
    EXPECT_TRUE(request.IsAcceptable());
    EXPECT_EQ(request.Path(), "/caf\xE9.htm");
}

}  // namespace
}  // namespace sarvo
