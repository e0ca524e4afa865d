#include "ThumbnailFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "thumbindex/ThumbnailIndexFormat.h"

namespace sarvo::test {
namespace {

constexpr size_t kHeaderSize = 284;
constexpr size_t kNameFieldSize = 264;
constexpr size_t kMaskOffset = 264;
constexpr size_t kLengthOffset = 272;
constexpr size_t kDimensionAOffset = 276;
constexpr size_t kDimensionBOffset = 280;

void PutLittleEndian(std::string& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The image masked as the index stores it: byte i combined with mask[i] for the first eight bytes and
// with mask[0] after them, then with the fixed mask byte.
std::vector<uint8_t> MaskedImage(const std::vector<uint8_t>& image, const std::array<uint8_t, 8>& mask) {
    std::vector<uint8_t> masked = image;
    for (size_t i = 0; i < masked.size(); ++i)
        masked[i] = masked[i] ^ (i < 8 ? mask[i] : mask[0]) ^ kThumbnailMaskByte;
    return masked;
}

}  // namespace

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

HandEntry MakeEntry(const std::string& name, std::vector<uint8_t> image, uint32_t dimensionA,
                    uint32_t dimensionB) {
    HandEntry entry;
    entry.name = name;
    entry.image = std::move(image);
    entry.dimensionA = dimensionA;
    entry.dimensionB = dimensionB;
    const uint8_t seed = static_cast<uint8_t>(name.size() * 29 + (name.empty() ? 0 : name[0]));
    for (size_t i = 0; i < entry.mask.size(); ++i)
        entry.mask[i] = static_cast<uint8_t>(seed + 37 * (i + 1)) | 0x01;
    return entry;
}

std::string IndexBytes(const std::vector<HandEntry>& entries) {
    std::string out;
    for (const HandEntry& entry : entries) {
        std::string header(kHeaderSize, '\0');
        EXPECT_LT(entry.name.size(), kNameFieldSize) << entry.name;
        const size_t nameLength = std::min(entry.name.size(), kNameFieldSize - 1);
        std::copy_n(entry.name.begin(), nameLength, header.begin());
        for (size_t i = 0; i < entry.mask.size(); ++i)
            header[kMaskOffset + i] = static_cast<char>(entry.mask[i]);
        const uint32_t length =
            entry.claimLength ? entry.claimedLength : static_cast<uint32_t>(entry.image.size());
        PutLittleEndian(header, kLengthOffset, length);
        PutLittleEndian(header, kDimensionAOffset, entry.dimensionA);
        PutLittleEndian(header, kDimensionBOffset, entry.dimensionB);
        out += header;
        const std::vector<uint8_t> masked = MaskedImage(entry.image, entry.mask);
        out.append(masked.begin(), masked.end());
    }
    return out;
}

std::vector<HandEntry> NumberedEntries(int count) {
    std::vector<HandEntry> entries;
    for (int i = 1; i <= count; ++i) {
        const std::string name = "pic" + std::to_string(i) + ".jpg";
        entries.push_back(MakeEntry(name, Bytes("GIF89a preview of " + name), 50 + i, 100 + i));
    }
    return entries;
}

}  // namespace sarvo::test
