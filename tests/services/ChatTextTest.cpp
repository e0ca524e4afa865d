#include <gtest/gtest.h>

#include "services/ChatPages.h"
#include "services/ChatText.h"

namespace sarvo {
namespace {

struct FormatCase {
    const char* description;
    std::string text;
    std::string html;
};

// Plain text, escaping and a link with a query are checked on the wire in ChatRoomTest.
TEST(FormatChatText, TurnsVisitorTextIntoSafeHtml) {
    const FormatCase cases[] = {
        {"LF is a break, CR goes", "one\r\ntwo\nthree\r", "one<br>two<br>three"},
        {"https in capitals ends at a tab", "HTTPS://x.example/p\tq",
         "<a href=\"HTTPS://x.example/p\" target=\"_blank\">HTTPS://x.example/p</a>\tq"},
        {"link ends at a line break", "http://x.example\nnext",
         "<a href=\"http://x.example\" target=\"_blank\">http://x.example</a><br>next"},
        {"a quote cannot leave the href", "http://x\"onmouseover=alert(1)",
         "<a href=\"http://x%22onmouseover=alert(1)\" "
         "target=\"_blank\">http://x&quot;onmouseover=alert(1)</a>"},
        {"nor can a tag", "http://x'<script>",
         "<a href=\"http://x%27%3Cscript%3E\" target=\"_blank\">http://x&#39;&lt;script&gt;</a>"},
        {"a scheme alone is still a link", "http:", "<a href=\"http:\" target=\"_blank\">http:</a>"},
        {"a word that only looks like a scheme", "httpx: ftp://y", "httpx: ftp://y"},
        {"text ends at a NUL", std::string("shown\0hidden", 12), "shown"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(FormatChatText(c.text), c.html);
    }
}

TEST(ComposeChatLine, RoomLabelsAreRedAndEveryLineScrollsIntoView) {
    EXPECT_EQ(ComposeChatLine(42, "Sarvo", "hi", ""),
              "<p id=\"t42\"><b style=\"color:#ff0000\">Sarvo: </b>hi</p><script "
              "LANGUAGE=JAVASCRIPT>t42.scrollIntoView(true);</SCRIPT>\r\n");
    EXPECT_EQ(ComposeChatLine(7, "zazuvov1", "x", kFocusInputScript),
              "<p id=\"t7\"><b style=\"color:#ff0000\">zazuvov1: </b>x</p><script "
              "LANGUAGE=JAVASCRIPT>t7.scrollIntoView(true);parent.input.focus();</SCRIPT>\r\n");
    EXPECT_EQ(ComposeChatLine(8, "Ann (Private to Bob)", "x", ""),
              "<p id=\"t8\"><b>Ann (Private to Bob): </b>x</p><script "
              "LANGUAGE=JAVASCRIPT>t8.scrollIntoView(true);</SCRIPT>\r\n");
}

// A welcome that is shown is checked on the wire in ChatRoomTest.
TEST(ComposeWelcomeMessage, TrimmedEmptyMessageIsNone) {
    EXPECT_EQ(ComposeWelcomeMessage(" \t\r\n"), "");
}

struct FormCase {
    const char* description;
    const char* body;
    const char* key;
    bool found;
    std::string value;
};

TEST(FindFormValue, DecodesTheFirstValueOfTheKey) {
    const FormCase cases[] = {
        {"value runs to the next ampersand", "to=Bob&speechtext=x", "to=", true, "Bob"},
        {"empty value", "to=&speechtext=", "to=", true, ""},
        {"a percent without two hex digits stays", "speechtext=100%+5%z", "speechtext=", true, "100% 5%z"},
        {"escaped NUL is kept for the caller", "speechtext=a%00b", "speechtext=", true,
         std::string("a\0b", 3)},
        {"missing key", "to=All", "speechtext=", false, ""},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.description);
        std::string value;
        EXPECT_EQ(FindFormValue(c.body, c.key, value), c.found);
        if (c.found) {
            EXPECT_EQ(value, c.value);
        }
    }
}

}  // namespace
}  // namespace sarvo
