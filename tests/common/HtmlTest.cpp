#include "common/Html.h"

#include <gtest/gtest.h>

namespace sarvo {
namespace {

TEST(HtmlEscape, ReplacesTheFiveMarkupCharactersOnly) {
    const struct {
        const char* input;
        const char* expected;
    } cases[] = {
        {"", ""},
        {"plain name.txt", "plain name.txt"},
        {"<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
        {"\"onmouseover=alert(1)\"", "&quot;onmouseover=alert(1)&quot;"},
        {"it's", "it&#39;s"},
        {"&amp;.txt", "&amp;amp;.txt"},
        {"caf\xC3\xA9 \xE6\xBC\xA2", "caf\xC3\xA9 \xE6\xBC\xA2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(HtmlEscape(c.input), c.expected);
    }
}

}  // namespace
}  // namespace sarvo
