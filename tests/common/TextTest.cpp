#include "common/Text.h"

#include <gtest/gtest.h>

namespace sarvo {
namespace {

struct TrimCase {
    const char* input;
    const char* expected;
};

TEST(TrimBlanks, RemovesBlanksTabsAndLineBreaksAtBothEndsOnly) {
    const TrimCase cases[] = {
        {"", ""},
        {" \t\r\n", ""},
        {"  title  ", "title"},
        {"\r\nline one\nline two\r\n", "line one\nline two"},
        {"a b", "a b"},
        {"\vkept\f", "\vkept\f"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::string text = c.input;
        EXPECT_EQ(TrimBlanks(text), std::string(c.expected).size());
        EXPECT_EQ(text, c.expected);
    }
}

TEST(CompareIgnoreCase, OrdersLikeLowerCaseAndKeepsLengthOrder) {
    EXPECT_TRUE(EqualsIgnoreCase("GuestBook", "guestbook"));
    EXPECT_FALSE(EqualsIgnoreCase("Guestbook", "Guestbooks"));
    EXPECT_LT(CompareIgnoreCase("apple", "Banana"), 0);
    EXPECT_GT(CompareIgnoreCase("Zeta", "alpha"), 0);
    EXPECT_LT(CompareIgnoreCase("abc", "ABCD"), 0);
    // Bytes above 127 compare as unsigned, after every ASCII letter.
    EXPECT_GT(CompareIgnoreCase("\xC3\xA9", "z"), 0);
    EXPECT_TRUE(StartsWithIgnoreCase("WebCommunity/login", "webcommunity"));
    EXPECT_FALSE(StartsWithIgnoreCase("Web", "WebCommunity"));
}

TEST(NormalizePath, UsesSlashesCollapsesRunsAndDropsTrailingSeparators) {
    const TrimCase cases[] = {
        {"", ""},
        {"/", "/"},
        {"//", "/"},
        {"\\", "/"},
        {"/home/owner/", "/home/owner"},
        {"/home//owner\\\\music\\", "/home/owner/music"},
        {"relative\\path//x", "relative/path/x"},
        {"/a/b/c", "/a/b/c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::string path = c.input;
        NormalizePath(path);
        EXPECT_EQ(path, c.expected);
    }
}

}  // namespace
}  // namespace sarvo
