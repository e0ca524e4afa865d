#include "site/ZipLayout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace sarvo {
namespace {

// "50 4B 03 04" to its four bytes; text between quotes in the pattern is taken as it is.
std::string Bytes(const std::string& pattern) {
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        if (pattern[i] == ' ') {
            ++i;
        } else if (pattern[i] == '\'') {
            const size_t end = pattern.find('\'', i + 1);
            out += pattern.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            out.push_back(static_cast<char>(std::strtoul(pattern.substr(i, 2).c_str(), nullptr, 16)));
            i += 2;
        }
    }
    return out;
}

ZipEntryHeader SampleEntry() {
    ZipEntryHeader entry;
    entry.modified = DosDateTime{0x6B2D, 0x5A21};
    entry.crc = 0x12345678;
    entry.compressedSize = 0x100;
    entry.uncompressedSize = 0x300;
    return entry;
}

FileTime Utc(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute, uint16_t second) {
    SystemTime time;
    time.year = year;
    time.month = month;
    time.day = day;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    FileTime out;
    EXPECT_TRUE(SystemTimeToFileTime(time, out));
    return out;
}

TEST(ZipLayout, HeadersAndEndRecordByteForByte) {
    ZipEntryHeader big = SampleEntry();
    big.zip64Sizes = true;
    big.uncompressedSize = 0x100000001ULL;
    big.compressedSize = 0x2000;
    struct Case {
        const char* description;
        std::string built;
        std::string expected;
    } cases[] = {
        {"local header: thirty bytes and the name", BuildLocalHeader(SampleEntry(), "sub/a.txt"),
         Bytes("50 4B 03 04 0B 00 00 00 08 00 2D 6B 21 5A 78 56 34 12 00 01 00 00 00 03 00 00 09 00 00 00 "
               "'sub/a.txt'")},
        {"central header: the local fields and the offset",
         BuildCentralHeader(SampleEntry(), "a.txt", 0x01020304),
         Bytes("50 4B 01 02 0B 00 0B 00 00 00 08 00 2D 6B 21 5A 78 56 34 12 00 01 00 00 00 03 00 00 05 00 "
               "00 00 00 00 00 00 00 00 00 00 00 00 04 03 02 01 'a.txt'")},
        {"end record: counts and the directory's place", BuildEndRecords(0xFFFE, 0x2E, 0xFFFFFFFE, "c"),
         Bytes("50 4B 05 06 00 00 00 00 FE FF FE FF 2E 00 00 00 FE FF FF FF 01 00 'c'")},
        {"local header with Zip64 sizes: both in the extra field", BuildLocalHeader(big, "big"),
         Bytes("50 4B 03 04 2D 00 00 00 08 00 2D 6B 21 5A 78 56 34 12 FF FF FF FF FF FF FF FF 03 00 14 00 "
               "'big' 01 00 10 00 01 00 00 00 01 00 00 00 00 20 00 00 00 00 00 00")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(c.built, c.expected);
    }
    EXPECT_EQ(LocalHeaderLength(9, false), 39u);
    EXPECT_EQ(LocalHeaderLength(3, true), 53u);
}

TEST(ZipLayout, CentralHeaderZip64RecordHoldsOnlyWhatOverflows) {
    struct Case {
        const char* description;
        bool zip64Sizes;
        uint64_t offset;
        std::string expected;
    } cases[] = {
        {"offset only", false, 0x123456789ULL,
         Bytes("50 4B 01 02 2D 00 2D 00 00 00 08 00 2D 6B 21 5A 78 56 34 12 00 01 00 00 00 03 00 00 01 00 0C "
               "00 "
               "00 00 00 00 00 00 00 00 00 00 FF FF FF FF 'n' 01 00 08 00 89 67 45 23 01 00 00 00")},
        {"sizes only", true, 0x10,
         Bytes("50 4B 01 02 2D 00 2D 00 00 00 08 00 2D 6B 21 5A 78 56 34 12 FF FF FF FF FF FF FF FF 01 00 14 "
               "00 "
               "00 00 00 00 00 00 00 00 00 00 10 00 00 00 'n' 01 00 10 00 00 03 00 00 00 00 00 00 00 01 00 "
               "00 00 "
               "00 00 00")},
        {"sizes and offset", true, 0xFFFFFFFFULL,
         Bytes("50 4B 01 02 2D 00 2D 00 00 00 08 00 2D 6B 21 5A 78 56 34 12 FF FF FF FF FF FF FF FF 01 00 1C "
               "00 "
               "00 00 00 00 00 00 00 00 00 00 FF FF FF FF 'n' 01 00 18 00 00 03 00 00 00 00 00 00 00 01 00 "
               "00 00 "
               "00 00 00 FF FF FF FF 00 00 00 00")},
        {"the last offset that fits", false, 0xFFFFFFFEULL,
         Bytes("50 4B 01 02 0B 00 0B 00 00 00 08 00 2D 6B 21 5A 78 56 34 12 00 01 00 00 00 03 00 00 01 00 00 "
               "00 "
               "00 00 00 00 00 00 00 00 00 00 FE FF FF FF 'n'")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        ZipEntryHeader entry = SampleEntry();
        entry.zip64Sizes = c.zip64Sizes;
        EXPECT_EQ(BuildCentralHeader(entry, "n", c.offset), c.expected);
    }
}

TEST(ZipLayout, EndRecordsGainTheZip64RecordAndLocatorWhenAFieldOverflows) {
    struct Case {
        const char* description;
        uint64_t count;
        uint64_t size;
        uint64_t offset;
        std::string endRecordFields;  // count, count, size, offset
    } cases[] = {
        {"count", 0xFFFF, 0x40, 0x80, "FF FF FF FF 40 00 00 00 80 00 00 00"},
        {"offset", 3, 0x40, 0x100000000ULL, "03 00 03 00 40 00 00 00 FF FF FF FF"},
        {"size", 3, 0xFFFFFFFFULL, 0x80, "03 00 03 00 FF FF FF FF 80 00 00 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        auto le64 = [](uint64_t v) {
            std::string out;
            for (int i = 0; i < 8; ++i)
                out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
            return out;
        };
        const std::string expected =
            Bytes("50 4B 06 06 2C 00 00 00 00 00 00 00 2D 00 2D 00 00 00 00 00 00 00 00 00") + le64(c.count) +
            le64(c.count) + le64(c.size) + le64(c.offset) + Bytes("50 4B 06 07 00 00 00 00") +
            le64(c.offset + c.size) + Bytes("01 00 00 00") +
            Bytes("50 4B 05 06 00 00 00 00 " + c.endRecordFields) + Bytes("01 00 'z'");
        EXPECT_EQ(BuildEndRecords(c.count, c.size, c.offset, "z"), expected);
    }
}

TEST(ZipLayout, ParsedLocalHeaderGivesBackWhatWasBuilt) {
    ZipEntryHeader plain = SampleEntry();
    const std::string bytes = BuildLocalHeader(plain, "dir/x.bin");
    LocalHeaderFields fields;
    ASSERT_TRUE(ParseLocalHeader(bytes, fields));
    EXPECT_EQ(fields.nameLength, 9);
    EXPECT_EQ(fields.extraLength, 0);
    EXPECT_EQ(BuildLocalHeader(fields.entry, bytes.substr(kLocalHeaderSize)), bytes);

    ZipEntryHeader big = SampleEntry();
    big.zip64Sizes = true;
    big.uncompressedSize = 0x1'0000'0000ULL;
    big.compressedSize = 0xFFFF'FFFFULL;
    const std::string bigBytes = BuildLocalHeader(big, "b");
    ASSERT_TRUE(ParseLocalHeader(bigBytes, fields));
    EXPECT_TRUE(fields.entry.zip64Sizes);
    EXPECT_EQ(fields.entry.compressedSize, kZip32Mark);
    ASSERT_TRUE(ReadZip64Sizes(std::string_view(bigBytes).substr(kLocalHeaderSize + 1), fields.entry));
    EXPECT_EQ(fields.entry.uncompressedSize, 0x1'0000'0000ULL);
    EXPECT_EQ(fields.entry.compressedSize, 0xFFFF'FFFFULL);
}

TEST(ZipLayout, ParsingRefusesShortOrForeignHeaders) {
    const std::string bytes = BuildLocalHeader(SampleEntry(), "a");
    LocalHeaderFields fields;
    EXPECT_FALSE(ParseLocalHeader(bytes.substr(0, kLocalHeaderSize - 1), fields));
    std::string central = BuildCentralHeader(SampleEntry(), "a", 0);
    EXPECT_FALSE(ParseLocalHeader(central, fields));

    // A marked size whose extra field is missing, too short, or another record.
    ZipEntryHeader marked;
    marked.zip64Sizes = true;
    marked.uncompressedSize = kZip32Mark;
    marked.compressedSize = kZip32Mark;
    for (const std::string& extra : {std::string(), Bytes("01 00 08 00 01 02 03 04 05 06 07 08"),
                                     Bytes("0A 00 04 00 01 02 03 04"), Bytes("01 00 10 00 01 02")}) {
        ZipEntryHeader copy = marked;
        EXPECT_FALSE(ReadZip64Sizes(extra, copy));
    }
    // Another record first, then the Zip64 one.
    ZipEntryHeader copy = marked;
    ASSERT_TRUE(ReadZip64Sizes(
        Bytes("0A 00 02 00 AA BB 01 00 10 00 05 00 00 00 01 00 00 00 06 00 00 00 00 00 00 00"), copy));
    EXPECT_EQ(copy.uncompressedSize, 0x100000005ULL);
    EXPECT_EQ(copy.compressedSize, 6u);
}

TEST(ZipLayout, DosTimesAreUtcInTwoSecondStepsWithinTheDosYears) {
    struct Case {
        const char* description;
        FileTime time;
        uint16_t dosTime;
        uint16_t dosDate;
    } cases[] = {
        {"first DOS instant", Utc(1980, 1, 1, 0, 0, 0), 0x0000, 0x0021},
        {"leap day, odd second rounds down", Utc(2024, 2, 29, 13, 45, 59), 0x6DBD, 0x585D},
        {"before 1980", Utc(1979, 12, 31, 23, 59, 59), 0x0000, 0x0021},
        {"zero file time", FileTime{}, 0x0000, 0x0021},
        {"last DOS second", Utc(2107, 12, 31, 23, 59, 59), 0xBF7D, 0xFF9F},
        {"after 2107", Utc(2108, 1, 1, 0, 0, 0), 0xBF7D, 0xFF9F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const DosDateTime dos = FileTimeToDosDateTime(c.time);
        EXPECT_EQ(dos.time, c.dosTime);
        EXPECT_EQ(dos.date, c.dosDate);
    }
}

}  // namespace
}  // namespace sarvo
