#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "thumbindex/ThumbnailIndexFormat.h"

// Real pictures for the tool's tests, made and inspected with libvips; index files read back with the
// server's format code.
namespace sarvo::pictorn::test {

using Rgba = std::array<uint8_t, 4>;

inline constexpr Rgba kRed = {255, 0, 0, 255};
inline constexpr Rgba kBlue = {0, 0, 255, 255};
inline constexpr Rgba kClear = {0, 255, 0, 0};

// Starts libvips once for the whole test process.
void EnsureVips();

// libvips failures throw vips::VError, which the test reports as its failure.

// A width x height picture whose left half is left and right half right, saved in the format its
// name ends with. bands is 3 (RGB) or 4 (RGBA). A non-zero orientation is stored as EXIF orientation.
void WritePicture(const std::string& path, int width, int height, Rgba left, Rgba right, int bands = 3,
                  int orientation = 0);

struct DecodedPicture {
    int width = 0;
    int height = 0;
    int bands = 0;
    std::vector<uint8_t> pixels;  // width * height * bands bytes, top row first

    // True when the RGB pixel at x, y differs from expected by at most tolerance in each of R, G and B:
    // GIF quantising and JPEG compression move colours a little.
    bool Near(int x, int y, Rgba expected, int tolerance = 40) const;
};

// Decodes an encoded picture (GIF, BMP, ...) held in memory to 8-bit RGB or RGBA.
DecodedPicture DecodePicture(std::span<const uint8_t> encoded);

struct IndexEntry {
    ThumbnailEntryHeader header;
    std::vector<uint8_t> image;  // unmasked
};

// Reads a whole index file; false when it cannot be read or an entry is cut short.
bool ReadIndex(const std::string& path, std::vector<IndexEntry>& out);

}  // namespace sarvo::pictorn::test
