#include "common/Format.h"

#include <gtest/gtest.h>

namespace sarvo {
namespace {

TEST(Format, FormatsShortAndLongTexts) {
    EXPECT_EQ(Format("%lx\r\n", 4096ul), "1000\r\n");
    EXPECT_EQ(Format("%s[%d].%s", "a", 2, "txt"), "a[2].txt");
    std::string longText(5000, 'x');
    EXPECT_EQ(Format("<%s>", longText.c_str()), "<" + longText + ">");
    EXPECT_EQ(Format("%s", ""), "");
}

TEST(Format, CountsAreGroupedByThousands) {
    struct Case {
        uint64_t count;
        const char* expected;
    } cases[] = {{0, "0"},
                 {999, "999"},
                 {1000, "1,000"},
                 {1234567, "1,234,567"},
                 {100000, "100,000"},
                 {18446744073709551615ull, "18,446,744,073,709,551,615"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(FormatCount(c.count), c.expected);
    }
}

}  // namespace
}  // namespace sarvo
