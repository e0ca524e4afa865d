#include "thumbindex/ThumbnailIndexFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace sarvo {
namespace {

TEST(ThumbnailEntryHeader, FixedLittleEndianLayoutRoundTrips) {
    ThumbnailEntryHeader header;
    header.name = "IMG_0042.JPG";
    header.mask = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    header.dataLength = 0x01020304;
    header.dimensionA = 90;
    header.dimensionB = 0xA0B0C0D0;
    ThumbnailEntryBytes bytes;
    bytes.fill(0xEE);
    ASSERT_TRUE(SerializeThumbnailEntryHeader(header, bytes));
    ASSERT_EQ(bytes.size(), 284u);
    // The whole rest of the name field is zero, not only the terminator.
    std::vector<uint8_t> expected(284, 0);
    std::copy(header.name.begin(), header.name.end(), expected.begin());
    const uint8_t fields[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,  // mask at 264
                              0x04, 0x03, 0x02, 0x01,                          // dataLength at 272
                              90,   0,    0,    0,                             // dimension A
                              0xD0, 0xC0, 0xB0, 0xA0};                         // dimension B
    std::copy(std::begin(fields), std::end(fields), expected.begin() + 264);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);

    ThumbnailEntryHeader parsed;
    ASSERT_TRUE(ParseThumbnailEntryHeader(bytes, parsed));
    EXPECT_EQ(parsed.name, header.name);
    EXPECT_EQ(parsed.mask, header.mask);
    EXPECT_EQ(parsed.dataLength, header.dataLength);
    EXPECT_EQ(parsed.dimensionA, header.dimensionA);
    EXPECT_EQ(parsed.dimensionB, header.dimensionB);

    // A name field without a terminator is taken whole; input shorter than a header holds no entry.
    std::vector<uint8_t> unterminated(284, 'n');
    ASSERT_TRUE(ParseThumbnailEntryHeader(unterminated, parsed));
    EXPECT_EQ(parsed.name, std::string(264, 'n'));
    EXPECT_FALSE(ParseThumbnailEntryHeader(std::vector<uint8_t>(283, 0), parsed));
    EXPECT_EQ(parsed.name, std::string(264, 'n'));
}

TEST(ThumbnailEntryHeader, RefusesNamesThatLeaveNoRoomForTheTerminator) {
    const std::pair<std::string, bool> cases[] = {
        {std::string(263, 'a'), true}, {std::string(264, 'a'), false}, {"", true}, {{"a\0b.jpg", 7}, false}};
    for (const auto& [name, fits] : cases) {
        SCOPED_TRACE(name.size());
        EXPECT_EQ(FitsThumbnailNameField(name), fits);
        ThumbnailEntryHeader header;
        header.name = name;
        ThumbnailEntryBytes bytes;
        bytes.fill(0xEE);
        EXPECT_EQ(SerializeThumbnailEntryHeader(header, bytes), fits);
        if (!fits) {
            EXPECT_EQ(bytes[0], 0xEE) << "a refused header must leave the output alone";
        }
    }
}

// Worked out by hand with the fixed byte 0xA5: a change of it breaks every index already written.
TEST(MaskImageData, FirstEightBytesUseTheirOwnMaskByteAndLaterOnesMaskZero) {
    std::vector<uint8_t> data(11, 0x00);
    MaskImageData(data, ThumbnailMask{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08});
    EXPECT_EQ(data, (std::vector<uint8_t>{0xA4, 0xA7, 0xA6, 0xA1, 0xA0, 0xA3, 0xA2, 0xAD, 0xA4, 0xA4, 0xA4}));

    std::mt19937 random(7);
    std::vector<uint8_t> original(4096);
    for (auto& byte : original)
        byte = static_cast<uint8_t>(random());
    ThumbnailMask mask{9, 8, 7, 6, 5, 4, 3, 2};
    data = original;
    MaskImageData(data, mask);
    MaskImageData(data, mask);
    EXPECT_EQ(data, original);
}

}  // namespace
}  // namespace sarvo
