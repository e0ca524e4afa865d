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

}  // namespace
}  // namespace sarvo
