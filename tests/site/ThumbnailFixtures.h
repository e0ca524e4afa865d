#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/TempFolder.h"

// Thumbnail indexes built by hand, byte by byte from the documented layout, so that the reader is
// checked against the layout itself rather than against the code it shares with the tool.
namespace sarvo::test {

struct HandEntry {
    std::string name;
    std::vector<uint8_t> image;  // as the reader must give it back, unmasked
    uint32_t dimensionA = 0;     // height
    uint32_t dimensionB = 0;     // width
    std::array<uint8_t, 8> mask{};
    // When set, the header claims this many data bytes instead of image.size().
    bool claimLength = false;
    uint32_t claimedLength = 0;
};

std::vector<uint8_t> Bytes(const std::string& text);

// An entry with a mask that differs from entry to entry and has no zero byte.
HandEntry MakeEntry(const std::string& name, std::vector<uint8_t> image, uint32_t dimensionA = 60,
                    uint32_t dimensionB = 80);

// The 284-byte header followed by the masked image, for each entry in turn.
std::string IndexBytes(const std::vector<HandEntry>& entries);

// Entries "pic1.jpg" ... with dimension B = 100 + i and A = 50 + i, each image a small fake GIF.
std::vector<HandEntry> NumberedEntries(int count);

}  // namespace sarvo::test
