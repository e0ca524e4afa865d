#include "server/ByteRange.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace sarvo {
namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

struct RangeCase {
    const char* description;
    std::string text;
    uint64_t size;
    bool usable;
    uint64_t first;
    uint64_t last;
};

TEST(ParseByteRange, Table) {
    const RangeCase cases[] = {
        // The three forms, a range past the end, two ranges and another unit are asserted on the wire
        // (ServerIntegrationTest); these are the edges.
        {"unit in any case", "BYTES=1-2", 1000, true, 1, 2},
        {"one byte", "bytes=999-999", 1000, true, 999, 999},
        {"whole file as a suffix", "bytes=-1000", 1000, true, 0, 999},
        {"last byte as a suffix", "bytes=-1", 1000, true, 999, 999},
        {"one-byte file", "bytes=0-", 1, true, 0, 0},
        {"suffix longer than the file", "bytes=-1001", 1000, false, 0, 0},
        {"empty suffix", "bytes=-0", 1000, false, 0, 0},
        {"first after last", "bytes=10-5", 1000, false, 0, 0},
        {"blank before the unit", " bytes=0-5", 1000, false, 0, 0},
        {"blank after the unit", "bytes =0-5", 1000, false, 0, 0},
        {"blank after '='", "bytes= 0-5", 1000, false, 0, 0},
        {"blank at the end", "bytes=0-5 ", 1000, false, 0, 0},
        {"blank inside", "bytes=0 -5", 1000, false, 0, 0},
        {"sign", "bytes=+0-5", 1000, false, 0, 0},
        {"no '='", "bytes0-5", 1000, false, 0, 0},
        {"nothing after '='", "bytes=", 1000, false, 0, 0},
        {"dash only", "bytes=-", 1000, false, 0, 0},
        {"two dashes", "bytes=1--5", 1000, false, 0, 0},
        {"no dash", "bytes=5", 1000, false, 0, 0},
        {"text after last", "bytes=0-5x", 1000, false, 0, 0},
        {"empty text", "", 1000, false, 0, 0},
        {"empty file", "bytes=0-0", 0, false, 0, 0},
        {"largest 64-bit last on the largest file", "bytes=0-18446744073709551614", kMax, true, 0, kMax - 1},
        // Wrapping 2^64 + 5 to 5 would make a junk header look like a small valid range.
        {"first beyond 64 bits", "bytes=18446744073709551621-", 1000, false, 0, 0},
        {"last beyond 64 bits", "bytes=0-18446744073709551621", 1000, false, 0, 0},
        {"suffix beyond 64 bits", "bytes=-18446744073709551617", 1000, false, 0, 0},
        {"many digits", "bytes=0-" + std::string(200, '9'), kMax, false, 0, 0},
        {"leading zeros", "bytes=" + std::string(240, '0') + "7-8", 1000, true, 7, 8},
        {"255 characters", "bytes=" + std::string(246, '0') + "7-8", 1000, true, 7, 8},
        {"256 characters", "bytes=" + std::string(247, '0') + "7-8", 1000, false, 0, 0},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.description);
        ByteRange range{123, 456};
        EXPECT_EQ(ParseByteRange(c.text, c.size, range), c.usable);
        EXPECT_EQ(range.first, c.first);
        EXPECT_EQ(range.last, c.last);
    }
}

}  // namespace
}  // namespace sarvo
