#include "thumbindex/ThumbnailIndexFormat.h"

#include <algorithm>

namespace sarvo {

namespace {

// The index is little-endian on every host, so numbers are assembled byte by byte rather than copied.
void PutUint32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t GetUint32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

}  // namespace

bool FitsThumbnailNameField(std::string_view name) {
    return name.size() < kThumbnailNameFieldSize && name.find('\0') == std::string_view::npos;
}

bool SerializeThumbnailEntryHeader(const ThumbnailEntryHeader& header, ThumbnailEntryBytes& out) {
    if (!FitsThumbnailNameField(header.name)) {
        return false;
    }
    // The whole name field is zeroed, not only the terminator, so that an index never carries
    // leftover memory of the writer.
    out.fill(0);
    std::copy(header.name.begin(), header.name.end(), out.begin() + kThumbnailNameOffset);
    std::copy(header.mask.begin(), header.mask.end(), out.begin() + kThumbnailMaskOffset);
    PutUint32(out.data() + kThumbnailDataLengthOffset, header.dataLength);
    PutUint32(out.data() + kThumbnailDimensionAOffset, header.dimensionA);
    PutUint32(out.data() + kThumbnailDimensionBOffset, header.dimensionB);
    return true;
}

bool ParseThumbnailEntryHeader(std::span<const uint8_t> bytes, ThumbnailEntryHeader& out) {
    if (bytes.size() < kThumbnailEntryHeaderSize) {
        return false;
    }
    const uint8_t* nameField = bytes.data() + kThumbnailNameOffset;
    const uint8_t* nameEnd = std::find(nameField, nameField + kThumbnailNameFieldSize, uint8_t{0});
    out.name.assign(reinterpret_cast<const char*>(nameField), static_cast<size_t>(nameEnd - nameField));
    std::copy_n(bytes.data() + kThumbnailMaskOffset, kThumbnailMaskSize, out.mask.begin());
    out.dataLength = GetUint32(bytes.data() + kThumbnailDataLengthOffset);
    out.dimensionA = GetUint32(bytes.data() + kThumbnailDimensionAOffset);
    out.dimensionB = GetUint32(bytes.data() + kThumbnailDimensionBOffset);
    return true;
}

void MaskImageData(std::span<uint8_t> data, const ThumbnailMask& mask) {
    for (size_t i = 0; i < data.size(); ++i) {
        const uint8_t perEntry = i < kThumbnailMaskSize ? mask[i] : mask[0];
        data[i] ^= perEntry ^ kThumbnailMaskByte;
    }
}

}  // namespace sarvo
