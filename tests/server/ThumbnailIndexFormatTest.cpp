#include "server/ThumbnailIndexFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace sarvo {
namespace {

ThumbnailEntryHeader SampleHeader() {
    ThumbnailEntryHeader header;
    header.name = "IMG_0042.JPG";
    header.mask = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    header.dataLength = 0x01020304;
    header.dimensionA = 90;
    header.dimensionB = 0xA0B0C0D0;
    return header;
}

TEST(ThumbnailEntryHeader, FieldsLieAtTheirFixedOffsetsInLittleEndian) {
    ThumbnailEntryBytes bytes;
    bytes.fill(0xEE);
    ASSERT_TRUE(SerializeThumbnailEntryHeader(SampleHeader(), bytes));

    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 12), "IMG_0042.JPG");
    // The rest of the name field is zero, not only the terminator.
    for (size_t i = 12; i < 264; ++i) {
        ASSERT_EQ(bytes[i], 0) << "name field byte " << i;
    }
    const std::vector<uint8_t> tail(bytes.begin() + 264, bytes.end());
    const std::vector<uint8_t> expected = {
        0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,  // mask at 264
        0x04, 0x03, 0x02, 0x01,                          // dataLength at 272
        90,   0,    0,    0,                             // dimension A at 276
        0xD0, 0xC0, 0xB0, 0xA0,                          // dimension B at 280
    };
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(bytes.size(), 284u);
}

TEST(ThumbnailEntryHeader, ParsesHandBuiltBytes) {
    std::vector<uint8_t> bytes(284, 0);
    const std::string name = "beach.png";
    std::copy(name.begin(), name.end(), bytes.begin());
    for (int i = 0; i < 8; ++i) {
        bytes[264 + i] = static_cast<uint8_t>(0xF0 + i);
    }
    bytes[272] = 0x78;
    bytes[273] = 0x56;
    bytes[274] = 0x34;
    bytes[275] = 0x12;
    bytes[276] = 120;
    bytes[280] = 0x2C;
    bytes[281] = 0x01;

    ThumbnailEntryHeader header;
    ASSERT_TRUE(ParseThumbnailEntryHeader(bytes, header));
    EXPECT_EQ(header.name, "beach.png");
    EXPECT_EQ(header.mask, (ThumbnailMask{0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7}));
    EXPECT_EQ(header.dataLength, 0x12345678u);
    EXPECT_EQ(header.dimensionA, 120u);
    EXPECT_EQ(header.dimensionB, 300u);
}

TEST(ThumbnailEntryHeader, RoundTripKeepsEveryField) {
    const ThumbnailEntryHeader original = SampleHeader();
    ThumbnailEntryBytes bytes;
    ASSERT_TRUE(SerializeThumbnailEntryHeader(original, bytes));
    ThumbnailEntryHeader parsed;
    ASSERT_TRUE(ParseThumbnailEntryHeader(bytes, parsed));
    EXPECT_EQ(parsed.name, original.name);
    EXPECT_EQ(parsed.mask, original.mask);
    EXPECT_EQ(parsed.dataLength, original.dataLength);
    EXPECT_EQ(parsed.dimensionA, original.dimensionA);
    EXPECT_EQ(parsed.dimensionB, original.dimensionB);
}

TEST(ThumbnailEntryHeader, InputShorterThanAHeaderHoldsNoEntry) {
    const std::vector<uint8_t> bytes(283, 0);
    ThumbnailEntryHeader header;
    header.name = "unchanged";
    EXPECT_FALSE(ParseThumbnailEntryHeader(bytes, header));
    EXPECT_FALSE(ParseThumbnailEntryHeader({}, header));
    EXPECT_EQ(header.name, "unchanged");
}

TEST(ThumbnailEntryHeader, NameFieldWithoutTerminatorIsTakenWhole) {
    std::vector<uint8_t> bytes(284, 'n');
    ThumbnailEntryHeader header;
    ASSERT_TRUE(ParseThumbnailEntryHeader(bytes, header));
    EXPECT_EQ(header.name, std::string(264, 'n'));
}

TEST(ThumbnailEntryHeader, RefusesNamesThatLeaveNoRoomForTheTerminator) {
    struct Case {
        const char* description;
        std::string name;
        bool fits;
    };
    const Case cases[] = {
        {"longest storable", std::string(263, 'a'), true},
        {"one too long", std::string(264, 'a'), false},
        {"empty", "", true},
        {"embedded NUL", std::string("a\0b.jpg", 7), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(FitsThumbnailNameField(c.name), c.fits);
        ThumbnailEntryHeader header;
        header.name = c.name;
        ThumbnailEntryBytes bytes;
        bytes.fill(0xEE);
        EXPECT_EQ(SerializeThumbnailEntryHeader(header, bytes), c.fits);
        if (!c.fits) {
            EXPECT_EQ(bytes[0], 0xEE) << "a refused header must leave the output alone";
        }
    }
}

// The expected bytes are worked out by hand from the rule, with the fixed byte 0xA5: a change of the
// shared byte breaks every index already written, so it must fail here too.
TEST(MaskImageData, FirstEightBytesUseTheirOwnMaskByteAndLaterOnesMaskZero) {
    std::vector<uint8_t> data(11, 0x00);
    const ThumbnailMask mask = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    MaskImageData(data, mask);
    const std::vector<uint8_t> expected = {0xA4, 0xA7, 0xA6, 0xA1, 0xA0, 0xA3, 0xA2, 0xAD, 0xA4, 0xA4, 0xA4};
    EXPECT_EQ(data, expected);
}

TEST(MaskImageData, UnmasksAGifSignature) {
    // "GIF89a" masked with an all-zero entry mask is only the fixed byte's XOR.
    std::vector<uint8_t> data = {'G' ^ 0xA5, 'I' ^ 0xA5, 'F' ^ 0xA5, '8' ^ 0xA5, '9' ^ 0xA5, 'a' ^ 0xA5};
    MaskImageData(data, ThumbnailMask{});
    EXPECT_EQ(std::string(data.begin(), data.end()), "GIF89a");
}

TEST(MaskImageData, MaskingTwiceRestoresTheData) {
    std::mt19937 random(7);
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 4096u}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> original(length);
        for (auto& byte : original) {
            byte = static_cast<uint8_t>(random());
        }
        ThumbnailMask mask;
        for (auto& byte : mask) {
            byte = static_cast<uint8_t>(random());
        }
        std::vector<uint8_t> data = original;
        MaskImageData(data, mask);
        if (length > 0) {
            EXPECT_NE(data, original);
        }
        MaskImageData(data, mask);
        EXPECT_EQ(data, original);
    }
}

}  // namespace
}  // namespace sarvo
