#include "TestPictures.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

#include <vips/vips.h>

namespace sarvo::pictorn::test {

void EnsureVips() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (VIPS_INIT("pictorn-tests") != 0) {
            std::abort();
        }
        vips_cache_set_max(0);
    });
}

bool WritePicture(const std::string& path, int width, int height, Rgba left, Rgba right, int bands,
                  int orientation) {
    EnsureVips();
    std::vector<uint8_t> pixels;
    pixels.reserve(static_cast<size_t>(width) * height * bands);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba& colour = x < width / 2 ? left : right;
            pixels.insert(pixels.end(), colour.begin(), colour.begin() + bands);
        }
    }
    VipsImage* image = vips_image_new_from_memory_copy(pixels.data(), pixels.size(), width, height, bands,
                                                       VIPS_FORMAT_UCHAR);
    if (image == nullptr) {
        return false;
    }
    image->Type = VIPS_INTERPRETATION_sRGB;
    if (orientation != 0) {
        vips_image_set_int(image, VIPS_META_ORIENTATION, orientation);
    }
    const int failed = vips_image_write_to_file(image, path.c_str(), nullptr);
    g_object_unref(image);
    return failed == 0;
}

std::array<int, 3> DecodedPicture::At(int x, int y) const {
    const uint8_t* pixel = pixels.data() + (static_cast<size_t>(y) * width + x) * bands;
    if (bands < 3) {
        return {pixel[0], pixel[0], pixel[0]};
    }
    return {pixel[0], pixel[1], pixel[2]};
}

bool DecodePicture(std::span<const uint8_t> encoded, DecodedPicture& out) {
    EnsureVips();
    VipsImage* image = vips_image_new_from_buffer(encoded.data(), encoded.size(), "", nullptr);
    if (image == nullptr) {
        vips_error_clear();
        return false;
    }
    VipsImage* uchar = nullptr;
    if (vips_cast_uchar(image, &uchar, nullptr) != 0) {
        g_object_unref(image);
        vips_error_clear();
        return false;
    }
    g_object_unref(image);
    size_t size = 0;
    void* memory = vips_image_write_to_memory(uchar, &size);
    out.width = vips_image_get_width(uchar);
    out.height = vips_image_get_height(uchar);
    out.bands = vips_image_get_bands(uchar);
    g_object_unref(uchar);
    if (memory == nullptr) {
        vips_error_clear();
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(memory);
    out.pixels.assign(bytes, bytes + size);
    g_free(memory);
    return out.pixels.size() == static_cast<size_t>(out.width) * out.height * out.bands;
}

bool ColourNear(const std::array<int, 3>& actual, Rgba expected, int tolerance) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(actual[i] - expected[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

bool ReadIndex(const std::string& path, std::vector<IndexEntry>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    out.clear();
    size_t at = 0;
    while (at < bytes.size()) {
        IndexEntry entry;
        if (!ParseThumbnailEntryHeader(std::span(bytes).subspan(at), entry.header)) {
            return false;
        }
        at += kThumbnailEntryHeaderSize;
        if (bytes.size() - at < entry.header.dataLength) {
            return false;
        }
        entry.image.assign(bytes.begin() + at, bytes.begin() + at + entry.header.dataLength);
        MaskImageData(entry.image, entry.header.mask);
        at += entry.header.dataLength;
        out.push_back(std::move(entry));
    }
    return true;
}

}  // namespace sarvo::pictorn::test
