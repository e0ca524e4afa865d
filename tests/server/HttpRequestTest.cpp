#include "server/HttpRequest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace sarvo {
namespace {

using namespace std::string_literals;

constexpr size_t kNotFound = std::string_view::npos;

std::string EncodeBase64(std::string_view text) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < text.size(); i += 3) {
        uint32_t bits = 0;
        for (size_t k = 0; k < 3; ++k)
            bits = bits << 8 | (i + k < text.size() ? static_cast<uint8_t>(text[i + k]) : 0);
        for (size_t k = 0; k < 4; ++k)
            out.push_back(k <= text.size() - i ? kAlphabet[(bits >> (18 - 6 * k)) & 63] : '=');
    }
    return out;
}

std::string WithHeader(const std::string& line) {
    return "GET / HTTP/1.1\r\nHost: example\r\n" + line + "\r\n\r\n";
}

enum Outcome { kAcceptable, kRefused, kMalformed };

TEST(HttpRequestParse, RequestLineTable) {
    const struct {
        std::string block;  // "\r\n\r\n" is appended
        int method;
        std::string methodText;
        std::string path;
        std::string query;
        Outcome outcome;
    } cases[] = {
        // The path is kept undecoded; the query starts after '?'.
        {"GET /a%20b/c.txt?x HTTP/1.1\r\nHost: h", kMethodGet, "GET", "/a%20b/c.txt", "x", kAcceptable},
        {"get / HTTP/1.0", kMethodGet, "get", "/", "", kAcceptable},
        {"GET /index.htm", kMethodGet, "GET", "/index.htm", "", kAcceptable},
        {"PROPFIND /dav HTTP/1.1", kMethodUnknown, "PROPFIND", "/dav", "", kRefused},
        {"POST /up HTTP/1.1", kMethodPost, "POST", "/up", "", kAcceptable},
        {"HeAd / HTTP/1.1", kMethodHead, "HeAd", "/", "", kAcceptable},
        {"OPTIONS * HTTP/1.1", kMethodOptions, "OPTIONS", "*", "", kAcceptable},
        {"DELETE /x HTTP/1.1", kMethodDelete, "DELETE", "/x", "", kAcceptable},
        {"PUT /x HTTP/1.1", kMethodPut, "PUT", "/x", "", kAcceptable},
        {"TRACE /x HTTP/1.1", kMethodTrace, "TRACE", "/x", "", kAcceptable},
        {"GETS / HTTP/1.1", kMethodUnknown, "GETS", "/", "", kRefused},
        {std::string(31, 'G') + " / HTTP/1.1", kMethodUnknown, std::string(31, 'G'), "/", "", kRefused},
        // Leading line ends and blanks are skipped, and runs of blanks and tabs separate.
        {"\r\n\r\n \t GET \t /p \t HTTP/1.1", kMethodGet, "GET", "/p", "", kAcceptable},
        {"GET /a?  q HTTP/1.1", kMethodGet, "GET", "/a", "q", kAcceptable},
        // A bare '?' takes the next word as the query.
        {"GET /a? HTTP/1.1", kMethodGet, "GET", "/a", "HTTP/1.1", kAcceptable},
        {"GET /a??x HTTP/1.1", kMethodGet, "GET", "/a", "?x", kAcceptable},
        {"GET /a?x\ty HTTP/1.1", kMethodGet, "GET", "/a", "x", kAcceptable},
        {"GET /lf HTTP/1.1\nHost: x\n", kMethodGet, "GET", "/lf", "", kAcceptable},
        {"GET   ", kMethodGet, "GET", "", "", kRefused},
        {"GET ?x HTTP/1.1", kMethodGet, "GET", "", "x", kRefused},
        // High bytes up to 0xFE pass; control bytes, DEL and 0xFF make the request malformed.
        {"GET /caf\xE9 HTTP/1.1", kMethodGet, "GET", "/caf\xE9", "", kAcceptable},
        {"GET /\x80\xFE HTTP/1.1", kMethodGet, "GET", "/\x80\xFE", "", kAcceptable},
        {"GET /\x01 HTTP/1.1", kMethodUnknown, "", "", "", kMalformed},
        {"GET / HTTP/1.1\r\nX: \x1b[2J", kMethodUnknown, "", "", "", kMalformed},
        {"GET /\0x HTTP/1.1"s, kMethodUnknown, "", "", "", kMalformed},
        {"GET /\x7F HTTP/1.1", kMethodUnknown, "", "", "", kMalformed},
        {"GET /\xFF HTTP/1.1", kMethodUnknown, "", "", "", kMalformed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        const std::string block = c.block + "\r\n\r\n";
        HttpRequest request;
        request.Parse(block);
        EXPECT_EQ(request.Method(), c.method);
        EXPECT_EQ(request.MethodText(), c.methodText);
        EXPECT_EQ(request.Path(), c.path);
        EXPECT_EQ(request.Query(), c.query);
        EXPECT_EQ(request.IsMalformed(), c.outcome == kMalformed);
        EXPECT_EQ(request.IsAcceptable(), c.outcome == kAcceptable);
        // A malformed request keeps no copy, so that no page echoes its bytes.
        EXPECT_EQ(request.RawHeader(), c.outcome == kMalformed ? std::string() : block);
    }
}

TEST(HttpRequestParse, ParsingAgainStartsFromScratch) {
    HttpRequest request;
    request.Parse("POST /up?x HTTP/1.1\r\nContent-Length: 5\r\n\r\n");
    request.Parse("GET /\x02 HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(request.IsMalformed());
    EXPECT_EQ(request.Method(), kMethodUnknown);
    EXPECT_EQ(request.Query(), "");
    EXPECT_EQ(request.Header("Content-Length"), "");
    request.Parse("");
    EXPECT_FALSE(request.IsMalformed());
    EXPECT_FALSE(request.IsAcceptable());
    // Absent texts are empty but still point somewhere, for callers that want a C string.
    EXPECT_NE(request.Path().data(), nullptr);
    EXPECT_NE(request.Header("Host").data(), nullptr);
}

TEST(HttpRequestParse, PathLengthLimitsCountDecodedBytes) {
    const std::string longest(kMaxFirstPathSegment, 'a');
    const std::string tooLong(kMaxFirstPathSegment + 1, 'a');
    // A published file's name as the home page links it: 44 bytes decoded, 56 encoded.
    const std::string report = "/Annual%20report%20for%20the%20year%202025%20final%20v2.pdf";
    std::string encodedLongest;
    for (size_t i = 0; i < kMaxFirstPathSegment; ++i)
        encodedLongest += "%41";
    struct Case {
        const char* description;
        std::string path;
        bool acceptable;
    } cases[] = {
        {"the longest published name", "/" + longest, true},
        {"one byte more", "/" + tooLong, false},
        {"a name whose encoding passes the limit", "/" + encodedLongest, true},
        {"an encoded name one byte too long", "/" + encodedLongest + "%41", false},
        {"a published name with blanks", report, true},
        {"the longest name behind several separators", "//\\/" + longest + "/x", true},
        {"one byte more behind a backslash", "\\" + tooLong, false},
        {"the rest at its limit", "/share/" + std::string(kMaxPathRest - 1, 'b'), true},
        {"the rest over its limit", "/share/" + std::string(kMaxPathRest, 'b'), false},
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
        "GET /x HTTP/1.1\r\nHost: example\r\ncontent-length:      123\r\nX-Tab:\t\tvalue with blanks \r\n"
        "Accept::: \t text/html\r\nX-Empty:\r\nX-Folded: first\r\n   second\r\nHost: second-host\r\n\r\n");
    // A folded continuation is a line of its own; the match is by prefix, so a short name finds a longer
    // header; the request line is not a header line.
    const std::pair<const char*, const char*> cases[] = {{"Host", "example"},
                                                         {"HOST", "example"},
                                                         {"CONTENT-length", "123"},
                                                         {"X-Tab", "value with blanks "},
                                                         {"Accept", "text/html"},
                                                         {"X-Empty", ""},
                                                         {"X-Folded", "first"},
                                                         {"second", ""},
                                                         {"Ho", "st: example"},
                                                         {"Content", "-length:      123"},
                                                         {"Missing", ""},
                                                         {"", ""},
                                                         {"GET", ""}};
    for (const auto& [name, value] : cases)
        EXPECT_EQ(request.Header(name), value) << name;
}

TEST(HttpRequestHeader, ContentLengthTable) {
    constexpr uint64_t kKept = 77;
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    // Blanks and tabs after the colon are skipped, digits end at text, and beyond 64 bits reads as the
    // largest.
    const std::pair<const char*, uint64_t> cases[] = {{"X-Other: 5", kKept},
                                                      {"content-length: \t  123", 123},
                                                      {"Content-Length: 0", 0},
                                                      {"Content-Length: 12abc", 12},
                                                      {"Content-Length: abc", kKept},
                                                      {"Content-Length:", kKept},
                                                      {"Content-Length: -5", kKept},
                                                      {"Content-Length: 18446744073709551615", kMax},
                                                      {"Content-Length: 18446744073709551616", kMax}};
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line);
        HttpRequest request;
        request.Parse(WithHeader(line));
        uint64_t length = kKept;
        EXPECT_TRUE(request.ContentLength(length));
        EXPECT_EQ(length, expected);
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
        {"trailing partial group ignored", "Basic dXNlcjpwYXNzcXk", true, "user", "pass"},
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
        request.Parse(WithHeader(c.value.empty() ? "X-None: 1" : "Authorization: " + c.value));
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
    // nullptr: no boundary found.
    const std::pair<const char*, const char*> cases[] = {
        {"multipart/form-data; boundary=----WebKitFormBoundary7MA4", "----WebKitFormBoundary7MA4"},
        {"Multipart/Form-Data;BOUNDARY=xyz; charset=utf-8", "xyz"},
        {"multipart/form-data ,; \t boundary=ab,cd", "ab"},
        {"multipart/form-data; boundary \t=q", "q"},
        {"multipart/form-data; boundary= q", ""},
        {"multipart/form-data; boundary=\"quoted\"", "\"quoted\""},
        {"text/plain; boundary=x", nullptr},
        {"multipart/form-data; charset=utf-8; boundary=x", nullptr},
        {"multipart/form-data; boundary", nullptr},
    };
    for (const auto& [contentType, expected] : cases) {
        SCOPED_TRACE(contentType);
        HttpRequest request;
        request.Parse(WithHeader(std::string("Content-Type: ") + contentType));
        std::string_view boundary;
        EXPECT_EQ(request.MultipartBoundary(boundary), expected != nullptr);
        if (expected) {
            EXPECT_EQ(boundary, expected);
        }
    }
}

TEST(HttpRequestHeader, UploadFileNameTable) {
    // The value and the bare name; nullptr: no file name found.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {R"(form-data; name="file"; filename="C:\dir\photo.jpg")", R"(C:\dir\photo.jpg)", "photo.jpg"},
        {R"(form-data; name="file"; filename=C:\dir\photo.jpg)", R"(C:\dir\photo.jpg)", "photo.jpg"},
        {"form-data; filename='a/b/c.txt'; x=y", "a/b/c.txt", "c.txt"},
        {"form-data;FILENAME \t= \"up.bin\"", "up.bin", "up.bin"},
        {"form-data; filename=a.txt; size=3", "a.txt", "a.txt"},
        {"form-data; filename=\"a;b.txt\"", "a;b.txt", "a;b.txt"},
        {"form-data; filename=\"abc", "abc", "abc"},
        {"form-data; name=\"f\"; filename=\"\"", nullptr, nullptr},
        {R"(form-data; filename="C:\dir\")", nullptr, nullptr},
        {"form-data; name=\"f\"", nullptr, nullptr},
        {"form-data; filename*=UTF-8''x.txt", nullptr, nullptr},
    };
    for (const auto& [disposition, value, bareName] : cases) {
        SCOPED_TRACE(disposition);
        HttpRequest request;
        request.Parse(WithHeader(std::string("Content-Disposition: ") + disposition));
        std::string_view gotValue;
        std::string_view gotBareName;
        EXPECT_EQ(request.UploadFileName(gotValue, gotBareName), value != nullptr);
        if (value) {
            EXPECT_EQ(gotValue, value);
            EXPECT_EQ(gotBareName, bareName);
        }
    }
}

TEST(HttpRequestBytes, FindHeaderEndTable) {
    // Neither bare LFs nor CR CR LF LF end a header.
    const std::pair<const char*, size_t> cases[] = {{"", kNotFound},
                                                    {"\r\n\r\n", 4},
                                                    {"GET / HTTP/1.1\r\n\r\nbody\r\n\r\n", 18},
                                                    {"GET / HTTP/1.1\r\n\r", kNotFound},
                                                    {"GET / HTTP/1.1\n\n", kNotFound},
                                                    {"GET /\r\r\n\n", kNotFound}};
    for (const auto& [data, expected] : cases)
        EXPECT_EQ(FindHeaderEnd(data), expected) << data;
}

TEST(HttpRequestBytes, ForbiddenPartialHeaderBytes) {
    const std::pair<std::string, bool> cases[] = {{"GET /a?b HTTP/1.1\r\nHost: x\t\r\n", false},
                                                  {"", false},
                                                  {" ~", false},
                                                  {"GET /caf\xE9", true},
                                                  {"\x80", true},
                                                  {"\xFF", true},
                                                  {"\x7F", true},
                                                  {"\x1F", true},
                                                  {"\v", true},
                                                  {"GET\0"s, true}};
    for (const auto& [data, forbidden] : cases)
        EXPECT_EQ(HasForbiddenPartialHeaderByte(data), forbidden) << data;
}

}  // namespace
}  // namespace sarvo
