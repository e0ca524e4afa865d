#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sarvo {

// One byte range of a file, both ends inclusive.
struct ByteRange {
    uint64_t first = 0;
    uint64_t last = 0;
};

// A Range header is longer than this only when it lists many ranges, which are not served.
inline constexpr size_t kMaxRangeText = 255;

// Reads a Range header value of the one-range forms "bytes=a-b", "bytes=a-" and "bytes=-n" for a file
// of size bytes. True with out set when the range lies inside the file; false (out zeroed) for
// anything else, after which the whole file is sent: a list of ranges, a blank, another unit, a
// number too large for 64 bits.
bool ParseByteRange(std::string_view text, uint64_t size, ByteRange& out);

}  // namespace sarvo
