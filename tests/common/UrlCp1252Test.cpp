#include <gtest/gtest.h>

#include "common/TextHolder.h"
#include "common/Url.h"
#include "platform/CodePage.h"

// These cases run with SARVO_CODEPAGE=CP1252, so internal text is single-byte Western text.
namespace sarvo {
namespace {

TEST(Cp1252CodePage, UrlDecodeGivesTheLetterInTheCodePage) {
    TextHolder holder;
    EXPECT_STREQ(UrlDecode(holder, "%C3%A9t%C3%A9"), "\xE9t\xE9");
    // The euro sign exists in this code page at 0x80.
    EXPECT_STREQ(UrlDecode(holder, "%E2%82%AC"), "\x80");
    // A letter the code page lacks (Greek alpha) becomes '?'.
    EXPECT_STREQ(UrlDecode(holder, "a%CE%B1b"), "a?b");
}

TEST(Cp1252CodePage, LinksAndPagesComeOutInUtf8) {
    TextHolder holder;
    EXPECT_STREQ(UrlEncodeForLink(holder, "caf\xE9 #1"), "caf%C3%A9%20%231");
    AnsiToUtf8 utf8("\x80 5");
    EXPECT_STREQ(utf8.Text(), "\xE2\x82\xAC 5");
    // 0x81 has no character in CP1252.
    EXPECT_STREQ(AnsiToUtf8("a\x81z").Text(), "a?z");
    Utf8ToAnsi ansi(
        "\xC3\xBC"
        "ber");
    EXPECT_STREQ(ansi.Text(),
                 "\xFC"
                 "ber");
}

}  // namespace
}  // namespace sarvo
