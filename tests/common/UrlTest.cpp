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

TEST(UrlEncodeForLink, EscapesBlankHashAndPercentOnly) {
    const UrlCase cases[] = {
        {"", ""},
        {"My Files#1 100%", "My%20Files%231%20100%25"},
        {"a&b=c?d/e", "a&b=c?d/e"},
        {"caf\xC3\xA9 au lait", "caf\xC3\xA9%20au%20lait"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        TextHolder holder;
        EXPECT_STREQ(UrlEncodeForLink(holder, c.input), c.expected);
    }
}

TEST(UrlEncodeForLink, RoundTripsThroughUrlDecode) {
    const char* names[] = {"plain.txt", "two words.txt", "#hash%percent", "\xC3\xBC" "ber.mp3"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        TextHolder encoded;
        TextHolder decoded;
        UrlDecode(decoded, UrlEncodeForLink(encoded, name));
        EXPECT_EQ(decoded.Str(), name);
    }
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
