#include "BmpEncoder.h"

namespace sarvo::pictorn {

namespace {

void PutUint16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutUint32(std::vector<uint8_t>& out, uint32_t value) {
    PutUint16(out, static_cast<uint16_t>(value));
    PutUint16(out, static_cast<uint16_t>(value >> 16));
}

// 2835 pixels per metre is 72 dots per inch, what viewers assume when the field means nothing.
constexpr uint32_t kPixelsPerMetre = 2835;

}  // namespace

std::vector<uint8_t> EncodeBmp(std::span<const uint8_t> rgb, uint32_t width, uint32_t height) {
    if (width == 0 || height == 0 || rgb.size() != static_cast<size_t>(width) * height * 3) {
        return {};
    }
    // Every row is padded to a multiple of four bytes.
    const uint32_t rowSize = (width * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowSize * height;
    const uint32_t dataOffset = kBmpFileHeaderSize + kBmpInfoHeaderSize;

    std::vector<uint8_t> out;
    out.reserve(dataOffset + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    PutUint32(out, dataOffset + pixelBytes);
    PutUint32(out, 0);  // reserved
    PutUint32(out, dataOffset);

    PutUint32(out, kBmpInfoHeaderSize);
    PutUint32(out, width);
    // A positive height means the rows are stored bottom-up, the form every reader accepts.
    PutUint32(out, height);
    PutUint16(out, 1);   // planes
    PutUint16(out, 24);  // bits per pixel
    PutUint32(out, 0);   // BI_RGB, no compression
    PutUint32(out, pixelBytes);
    PutUint32(out, kPixelsPerMetre);
    PutUint32(out, kPixelsPerMetre);
    PutUint32(out, 0);  // colours used: none, there is no palette
    PutUint32(out, 0);  // important colours: all

    for (uint32_t row = height; row-- > 0;) {
        const uint8_t* pixel = rgb.data() + static_cast<size_t>(row) * width * 3;
        for (uint32_t x = 0; x < width; ++x, pixel += 3) {
            out.push_back(pixel[2]);
            out.push_back(pixel[1]);
            out.push_back(pixel[0]);
        }
        for (uint32_t pad = width * 3; pad < rowSize; ++pad) {
            out.push_back(0);
        }
    }
    return out;
}

}  // namespace sarvo::pictorn
