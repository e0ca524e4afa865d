#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The layout of a folder's thumbnail index, shared by the server, which only reads it, and the
// pictorn tool, which writes it. Both sides must agree byte for byte, so every fixed value lives here.
namespace sarvo {

inline constexpr char kThumbnailIndexName[] = "pixindex.$$$";

inline constexpr size_t kThumbnailNameFieldSize = 264;
inline constexpr size_t kThumbnailMaskSize = 8;
inline constexpr size_t kThumbnailEntryHeaderSize = 284;

inline constexpr size_t kThumbnailNameOffset = 0;
inline constexpr size_t kThumbnailMaskOffset = 264;
inline constexpr size_t kThumbnailDataLengthOffset = 272;
inline constexpr size_t kThumbnailDimensionAOffset = 276;
inline constexpr size_t kThumbnailDimensionBOffset = 280;

// Applied to every image byte after the per-entry mask. The value is arbitrary but must never change:
// indexes already written on read-only media could no longer be read. It is not zero and not 0xFF so
// that neither an all-zero mask nor a complemented one leaves the GIF signature readable as is.
inline constexpr uint8_t kThumbnailMaskByte = 0xA5;

using ThumbnailMask = std::array<uint8_t, kThumbnailMaskSize>;

// dimensionA is the preview's height and dimensionB its width; the listing page prints B x A, which
// therefore reads as the usual "width x height".
struct ThumbnailEntryHeader {
    std::string name;
    ThumbnailMask mask{};
    uint32_t dataLength = 0;
    uint32_t dimensionA = 0;
    uint32_t dimensionB = 0;
};

using ThumbnailEntryBytes = std::array<uint8_t, kThumbnailEntryHeaderSize>;

// A name can be stored when it leaves room for its terminating NUL and holds no NUL of its own (a
// reader would see it cut short).
bool FitsThumbnailNameField(std::string_view name);

// False, with out untouched, when the name does not fit the name field.
bool SerializeThumbnailEntryHeader(const ThumbnailEntryHeader& header, ThumbnailEntryBytes& out);

// False when fewer than kThumbnailEntryHeaderSize bytes are given: an index cut inside a header holds
// no further entry. A name field without a NUL is taken whole, since the field itself bounds it.
bool ParseThumbnailEntryHeader(std::span<const uint8_t> bytes, ThumbnailEntryHeader& out);

// Masks or unmasks in place; the operation is its own inverse. Every byte after the eighth is
// combined with mask[0] only, not with mask[i % 8].
void MaskImageData(std::span<uint8_t> data, const ThumbnailMask& mask);

}  // namespace sarvo
