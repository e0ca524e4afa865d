#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ChildProcess.h"

namespace sarvo {
namespace {

struct ConversionCase {
    const char* description;
    std::string input;
    const char* from;
    const char* to;
    std::string expected;
};

TEST(CodePageTest, ConvertsBetweenCharsetsAndReplacesWhatCannotBeCarried) {
    const ConversionCase cases[] = {
        {"empty text", "", "CP1252", "UTF-8", ""},
        {"CP1252 letters and the euro sign", "caf\xE9 \x80", "CP1252", "UTF-8", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"back to CP1252", "caf\xC3\xA9 \xE2\x82\xAC", "UTF-8", "CP1252", "caf\xE9 \x80"},
        {"byte CP1252 leaves undefined", "a\x81z", "CP1252", "UTF-8", "a?z"},
        {"character CP1252 lacks", "x\xE4\xB8\xADy", "UTF-8", "CP1252", "x?y"},
        {"emoji into CP1252 is one mark", "\xF0\x9F\x98\x80", "UTF-8", "CP1252", "?"},
        {"invalid UTF-8 into CP1252, one mark per byte", "a\xE2\x82z", "UTF-8", "CP1252", "a??z"},
        {"ISO-8859-15 euro", "\xA4", "ISO-8859-15", "UTF-8", "\xE2\x82\xAC"},
        {"replacement in a wide charset is wide", "a\xFF", "UTF-8", "UTF-16LE", std::string("a\0?\0", 4)},
        // Regression: the '?' was written as a raw byte while the converter was in its JIS shift
        // state, and the shift back to ASCII came after it.
        {"replacement in a stateful charset follows the shift back", "\xE4\xB8\xAD\xF0\x9F\x98\x80", "UTF-8",
         "ISO-2022-JP", "\x1B$BCf\x1B(B?"},
        // Regression: CP1258 holds each letter back to compose it with a following accent, and the
        // last letter was lost because the decoder was never flushed.
        {"composing decoder keeps its last letter", "abc", "CP1258", "UTF-8", "abc"},
        {"composing decoder composes", "a\xEC", "CP1258", "UTF-8", "\xC3\xA1"},
        // Regression: a byte that decodes to several code points overflowed the output and the whole
        // text came back empty.
        {"one byte to four code points", "a\x82", "TSCII", "UTF-8",
         "a\xE0\xAE\xB8\xE0\xAF\x8D\xE0\xAE\xB0\xE0\xAF\x80"},
        {"unknown source charset", "abc", "NO-SUCH-CHARSET", "UTF-8", ""},
        {"unknown target charset", "abc", "UTF-8", "NO-SUCH-CHARSET", ""},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(ConvertCodePage(c.input, c.from, c.to), c.expected);
    }
}

struct Utf8Case {
    const char* description;
    std::string input;
    std::string expected;
};

TEST(CodePageTest, Utf8ToUtf8KeepsValidTextAndMarksEachBadByte) {
    const Utf8Case cases[] = {
        {"plain ASCII", "index.html", "index.html"},
        {"two, three and four byte sequences", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"stray continuation byte", "a\x80z", "a?z"},
        {"truncated sequence before ASCII", "a\xE2\x82z", "a??z"},
        {"truncated sequence at the end", "a\xE2\x82", "a??"},
        {"overlong slash", "\xC0\xAF", "??"},
        {"surrogate half", "\xED\xA0\x80", "???"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"bytes that never occur", "\xFF\xFE", "??"},
        {"embedded NUL is kept", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Utf8Case& c : cases) {
        SCOPED_TRACE(c.description);
        std::string sanitized = ConvertCodePage(c.input, "UTF-8", "utf8");
        EXPECT_EQ(sanitized, c.expected);
        // The shortcut must agree with what iconv itself makes of the same bytes.
        std::string wide = ConvertCodePage(c.input, "UTF-8", "UTF-32LE");
        EXPECT_EQ(ConvertCodePage(wide, "UTF-32LE", "UTF-8"), sanitized);
    }
}

TEST(CodePageTest, ProcessCodePageIsUtf8ByDefault) {
    std::string report = test::RunInChild([] {
        ::unsetenv("SARVO_CODEPAGE");
        return ProcessCodePage() + "|" + (ProcessCodePageIsUtf8() ? "utf8" : "other") + "|" +
               AnsiTextToUtf8("caf\xC3\xA9 a\xFFz") + "|" + Utf8TextToAnsi("caf\xC3\xA9");
    });
    EXPECT_EQ(report, "UTF-8|utf8|caf\xC3\xA9 a?z|caf\xC3\xA9");
}

TEST(CodePageTest, Cp1252CodePageConvertsBothWays) {
    std::string report = test::RunInChild([] {
        ::setenv("SARVO_CODEPAGE", "CP1252", 1);
        return ProcessCodePage() + "|" + (ProcessCodePageIsUtf8() ? "utf8" : "other") + "|" +
               AnsiTextToUtf8("Men\xFC \x80 5") + "|" + Utf8TextToAnsi("Men\xC3\xBC \xE2\x82\xAC 5") + "|" +
               Utf8TextToAnsi("\xE4\xB8\xAD\xE6\x96\x87.txt") + "|" + Utf8TextToAnsi("bad\xC3");
    });
    EXPECT_EQ(report, "CP1252|other|Men\xC3\xBC \xE2\x82\xAC 5|Men\xFC \x80 5|??.txt|bad?");
}

TEST(CodePageTest, UnknownCodePageNameFallsBackToUtf8) {
    std::string report = test::RunInChild([] {
        ::setenv("SARVO_CODEPAGE", "NO-SUCH-CHARSET", 1);
        return ProcessCodePage() + "|" + (ProcessCodePageIsUtf8() ? "utf8" : "other") + "|" +
               Utf8TextToAnsi("\xC3\xA9");
    });
    EXPECT_EQ(report, "UTF-8|utf8|\xC3\xA9");
}

}  // namespace
}  // namespace sarvo
