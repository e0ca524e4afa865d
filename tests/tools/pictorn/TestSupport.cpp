#include "TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <vips/vips8>

namespace sarvo::pictorn::test {

void EnsureVips() {
    static const bool started = [] {
        const bool ok = VIPS_INIT("pictorn-tests") == 0;
        vips_cache_set_max(0);
        return ok;
    }();
    if (!started) {
        std::abort();
    }
}

void WritePicture(const std::string& path, int width, int height, Rgba left, Rgba right, int bands,
                  int orientation) {
    EnsureVips();
    std::vector<uint8_t> pixels;
    for (int i = 0; i < width * height; ++i) {
        const Rgba& colour = i % width < width / 2 ? left : right;
        pixels.insert(pixels.end(), colour.begin(), colour.begin() + bands);
    }
    vips::VImage image =
        vips::VImage::new_from_memory(pixels.data(), pixels.size(), width, height, bands, VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    if (orientation != 0) {
        image.set(VIPS_META_ORIENTATION, orientation);
    }
    image.write_to_file(path.c_str());
}

bool DecodedPicture::Near(int x, int y, Rgba expected, int tolerance) const {
    const uint8_t* pixel = pixels.data() + (static_cast<size_t>(y) * width + x) * bands;
    for (int i = 0; i < 3; ++i) {
        if (std::abs(pixel[i] - expected[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

DecodedPicture DecodePicture(std::span<const uint8_t> encoded) {
    EnsureVips();
    const vips::VImage image = vips::VImage::new_from_buffer(encoded.data(), encoded.size(), "")
                                   .colourspace(VIPS_INTERPRETATION_sRGB);
    DecodedPicture out{image.width(), image.height(), image.bands(), {}};
    size_t size = 0;
    auto* memory = static_cast<uint8_t*>(image.write_to_memory(&size));
    out.pixels.assign(memory, memory + size);
    g_free(memory);
    return out;
}

bool ReadIndex(const std::string& path, std::vector<IndexEntry>& out) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    out.clear();
    for (size_t at = 0; at < bytes.size();) {
        IndexEntry entry;
        if (!ParseThumbnailEntryHeader(std::span(bytes).subspan(at), entry.header) ||
            bytes.size() - at - kThumbnailEntryHeaderSize < entry.header.dataLength) {
            return false;
        }
        at += kThumbnailEntryHeaderSize;
        entry.image.assign(bytes.begin() + at, bytes.begin() + at + entry.header.dataLength);
        MaskImageData(entry.image, entry.header.mask);
        at += entry.header.dataLength;
        out.push_back(std::move(entry));
    }
    return in.is_open();
}

}  // namespace sarvo::pictorn::test
