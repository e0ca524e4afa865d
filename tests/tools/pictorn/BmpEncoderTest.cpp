#include "BmpEncoder.h"

#include <gtest/gtest.h>

#include <vector>

namespace sarvo::pictorn {
namespace {

uint32_t U32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

TEST(EncodeBmp, WritesHeadersAndBottomUpPaddedBgrRowsAndRefusesWrongSizes) {
    // 2 x 2: top row red, green; bottom row blue, white. A row of 6 bytes is padded to 8.
    const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    const std::vector<uint8_t> bmp = EncodeBmp(rgb, 2, 2);
    ASSERT_EQ(bmp.size(), 54u + 16u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(U32(bmp, 2), 70u);              // file size
    EXPECT_EQ(U32(bmp, 10), 54u);             // pixel data offset
    EXPECT_EQ(U32(bmp, 18), 2u);              // width
    EXPECT_EQ(U32(bmp, 22), 2u);              // height, positive: bottom-up
    EXPECT_EQ(bmp[28] | (bmp[29] << 8), 24);  // bits per pixel
    const std::vector<uint8_t> pixels(bmp.begin() + 54, bmp.end());
    const std::vector<uint8_t> expected = {
        255, 0, 0,   255, 255, 255, 0, 0,  // bottom row first: blue, white, padding
        0,   0, 255, 0,   255, 0,   0, 0,  // then the top row: red, green, padding
    };
    EXPECT_EQ(pixels, expected);
    // Rows of a whole number of words get no padding; sizes that do not match the pixels are refused.
    EXPECT_EQ(EncodeBmp(std::vector<uint8_t>(4 * 1 * 3, 7), 4, 1).size(), 54u + 12u);
    EXPECT_TRUE(EncodeBmp(std::vector<uint8_t>(11, 0), 2, 2).empty());
    EXPECT_TRUE(EncodeBmp({}, 0, 0).empty());
}

}  // namespace
}  // namespace sarvo::pictorn
