#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The fallback preview encoding for when GIF cannot be written: an uncompressed 24-bit Windows
// bitmap, which the server sends as image/bmp and every browser shows.
namespace sarvo::pictorn {

inline constexpr size_t kBmpFileHeaderSize = 14;
inline constexpr size_t kBmpInfoHeaderSize = 40;

// rgb holds width * height pixels of three bytes, top row first. Empty when the sizes do not match
// or the picture is empty.
std::vector<uint8_t> EncodeBmp(std::span<const uint8_t> rgb, uint32_t width, uint32_t height);

}  // namespace sarvo::pictorn
