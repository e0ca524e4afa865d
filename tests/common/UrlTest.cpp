#include "common/Url.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace sarvo {
namespace {

struct UrlCase {
    const char* input;
    const char* expected;
};

TEST(UrlDecode, DecodesOnlyWellFormedEscapes) {
    const UrlCase cases[] = {
        {"", ""},
        {"%41%42", "AB"},
        {"100%", "100%"},
        {"%zz1", "%zz1"},
        {"%4", "%4"},
        {"%4g", "%4g"},
        {"a+b", "a+b"},
        {"%2e%2E", ".."},
        {"My%20Files%231%20100%25", "My Files#1 100%"},
        {"%C3%A9t%C3%A9", "\xC3\xA9t\xC3\xA9"},
        {"%e2%82%ac", "\xE2\x82\xAC"},
        // Bytes that are not UTF-8 cannot be taken as text.
        {"%FF", "?"},
        {"a%C3", "a?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        TextHolder holder;
        EXPECT_STREQ(UrlDecode(holder, c.input), c.expected);
        EXPECT_EQ(holder.Str(), c.expected);
    }
}

TEST(UrlDecode, KeepsADecodedNulInsideTheText) {
    TextHolder holder;
    UrlDecode(holder, "a%00b");
    EXPECT_EQ(holder.Str(), std::string("a\0b", 3));
}

TEST(UrlEncodeForLink, KeepsOnlyUnreservedBytesAndSlashes) {
    const UrlCase cases[] = {
        {"", ""},
        {"My Files#1 100%", "My%20Files%231%20100%25"},
        {"a&b=c?d/e", "a%26b%3Dc%3Fd/e"},
        {"AZaz09-._~", "AZaz09-._~"},
        {"\"x\" <y> 'z' +;,!*()[]@:$\\",
         "%22x%22%20%3Cy%3E%20%27z%27%20%2B%3B%2C%21%2A%28%29%5B%5D%40%3A%24%5C"},
        {"&amp;", "%26amp%3B"},
        {"caf\xC3\xA9 au lait", "caf%C3%A9%20au%20lait"},
        {"\xE6\xBC\xA2\xE5\xAD\x97", "%E6%BC%A2%E5%AD%97"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        TextHolder holder;
        EXPECT_STREQ(UrlEncodeForLink(holder, c.input), c.expected);
    }
}

TEST(FormatSiteUrl, EncodesTheNameAndEndsAFolderWithASlash) {
    EXPECT_EQ(FormatSiteUrl("http://10.0.0.2:8080/", "My Docs?", SiteUrlKind::Folder),
              "http://10.0.0.2:8080/My%20Docs%3F/");
    EXPECT_EQ(FormatSiteUrl("http://10.0.0.2/", "a&b #1.pdf", SiteUrlKind::File),
              "http://10.0.0.2/a%26b%20%231.pdf");
}

TEST(FormatServerUrl, OmitsThePortOnlyWhenItIs80) {
    uint32_t address = 0;
    ASSERT_EQ(inet_pton(AF_INET, "192.168.1.5", &address), 1);
    EXPECT_EQ(FormatServerUrl(address, 8080), "http://192.168.1.5:8080/");
    EXPECT_EQ(FormatServerUrl(address, 80), "http://192.168.1.5/");
    EXPECT_EQ(FormatServerUrl(htonl(INADDR_LOOPBACK), 1), "http://127.0.0.1:1/");
}

}  // namespace
}  // namespace sarvo
