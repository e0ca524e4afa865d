#include "PreviewMaker.h"

#include <mutex>

#include <glib.h>
#include <vips/vips.h>

#include "BmpEncoder.h"

namespace sarvo::pictorn {

namespace {

// One owner per intermediate image, so that every early return releases what was made so far.
class ImageRef {
public:
    ImageRef() = default;
    ~ImageRef() {
        if (m_image != nullptr) {
            g_object_unref(m_image);
        }
    }
    ImageRef(const ImageRef&) = delete;
    ImageRef& operator=(const ImageRef&) = delete;

    VipsImage** Out() { return &m_image; }
    VipsImage* Get() const { return m_image; }

private:
    VipsImage* m_image = nullptr;
};

// libvips keeps one error text for the whole process. The lock keeps two workers from taking each
// other's half; a message may still carry a line the other worker added at the same moment.
std::mutex g_errorLock;

std::string TakeVipsError(const char* fallback) {
    std::lock_guard<std::mutex> lock(g_errorLock);
    std::string text = vips_error_buffer();
    vips_error_clear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    for (char& c : text) {
        if (c == '\n') {
            c = ';';
        }
    }
    return text.empty() ? std::string(fallback) : text;
}

// libvips reports recoverable damage (a few bad lines at the end of a JPEG) as GLib warnings on
// stderr. The preview is made all the same, so they would only clutter the error output that names
// the pictures that were skipped.
void DropWarning(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// The palette search of the GIF writer. At libvips' default of 7 it took as long as decoding a
// 12-megapixel JPEG; at 4 it takes about a fifth of that, and on the benchmark's pictures a preview
// differs from its source by 3.5 instead of 3.4 levels per channel on average.
constexpr int kGifEffort = 4;

struct Loader {
    const char* ending;
    const char* operation;
};

// The loaders libvips may or may not have been built with. BMP has no loader of its own in libvips;
// it is read through ImageMagick when that loader is present.
constexpr Loader kLoaders[] = {
    {"jpg", "jpegload"},   {"jpeg", "jpegload"}, {"png", "pngload"},  {"gif", "gifload"},
    {"bmp", "magickload"}, {"webp", "webpload"}, {"tif", "tiffload"}, {"tiff", "tiffload"},
    {"heic", "heifload"},  {"heif", "heifload"},
};

bool EncodeBmpFromImage(VipsImage* image, Preview& out, std::string& error) {
    size_t size = 0;
    void* pixels = vips_image_write_to_memory(image, &size);
    if (pixels == nullptr) {
        error = TakeVipsError("the preview could not be read back");
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(pixels);
    out.image = EncodeBmp({bytes, size}, out.width, out.height);
    g_free(pixels);
    if (out.image.empty()) {
        error = "the preview has an unexpected pixel layout";
        return false;
    }
    out.encoding = PreviewEncoding::Bmp;
    return true;
}

}  // namespace

VipsRuntime::~VipsRuntime() {
    if (m_started) {
        vips_shutdown();
    }
}

bool VipsRuntime::Start(const char* programName, std::string& error) {
    if (VIPS_INIT(programName) != 0) {
        error = TakeVipsError("libvips could not start");
        return false;
    }
    m_started = true;
    // The tool runs one picture per worker thread, which keeps both cores busy on whole pictures;
    // libvips' own thread pool on top would only add threads that wait on each other.
    vips_concurrency_set(1);
    // Every picture is opened exactly once, so the operation cache could only hold memory.
    vips_cache_set_max(0);
    g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, DropWarning, nullptr);
    return true;
}

std::vector<std::string> ReadablePictureEndings() {
    std::vector<std::string> endings;
    for (const Loader& loader : kLoaders) {
        if (vips_type_find("VipsOperation", loader.operation) != 0) {
            endings.emplace_back(loader.ending);
        }
    }
    return endings;
}

void EndPreviewThread() {
    vips_thread_shutdown();
}

bool MakePreview(const std::string& path, PreviewEncoding preferred, Preview& out, std::string& error) {
    // Shrink-on-load: for a JPEG libvips decodes at 1/2, 1/4 or 1/8 of the size straight away, so a
    // 12-megapixel photo never lies in memory at full size. The EXIF orientation is applied by
    // default, and VIPS_SIZE_DOWN leaves pictures that already fit at their own size.
    ImageRef thumbnail;
    if (vips_thumbnail(path.c_str(), thumbnail.Out(), kPreviewBox, "height", kPreviewBox, "size",
                       VIPS_SIZE_DOWN, nullptr) != 0) {
        error = TakeVipsError("not a picture this machine can read");
        return false;
    }
    ImageRef colour;
    if (vips_colourspace(thumbnail.Get(), colour.Out(), VIPS_INTERPRETATION_sRGB, nullptr) != 0) {
        error = TakeVipsError("its colours cannot be converted to sRGB");
        return false;
    }
    ImageRef opaque;
    if (vips_image_hasalpha(colour.Get())) {
        VipsArrayDouble* white = vips_array_double_newv(3, 255.0, 255.0, 255.0);
        const int failed = vips_flatten(colour.Get(), opaque.Out(), "background", white, nullptr);
        vips_area_unref(VIPS_AREA(white));
        if (failed != 0) {
            error = TakeVipsError("its transparency cannot be removed");
            return false;
        }
    } else if (vips_copy(colour.Get(), opaque.Out(), nullptr) != 0) {
        error = TakeVipsError("the preview could not be made");
        return false;
    }
    ImageRef eightBit;
    if (vips_cast_uchar(opaque.Get(), eightBit.Out(), nullptr) != 0) {
        error = TakeVipsError("the preview could not be made");
        return false;
    }
    // Until here nothing was decoded: libvips builds a pipeline. Running it once into memory makes a
    // damaged file fail here, and lets the BMP fallback reuse the pixels instead of decoding again.
    ImageRef pixels;
    *pixels.Out() = vips_image_copy_memory(eightBit.Get());
    if (pixels.Get() == nullptr) {
        error = TakeVipsError("the picture data is damaged");
        return false;
    }
    out.width = static_cast<uint32_t>(vips_image_get_width(pixels.Get()));
    out.height = static_cast<uint32_t>(vips_image_get_height(pixels.Get()));
    if (vips_image_get_bands(pixels.Get()) != 3) {
        error = "the preview has an unexpected number of colour channels";
        return false;
    }

    if (preferred == PreviewEncoding::Gif) {
        void* buffer = nullptr;
        size_t length = 0;
        if (vips_gifsave_buffer(pixels.Get(), &buffer, &length, "effort", kGifEffort, nullptr) == 0) {
            const auto* bytes = static_cast<const uint8_t*>(buffer);
            out.image.assign(bytes, bytes + length);
            g_free(buffer);
            out.encoding = PreviewEncoding::Gif;
            return true;
        }
        // A libvips built without a GIF writer fails here for every picture; BMP still works.
        TakeVipsError("");
    }
    return EncodeBmpFromImage(pixels.Get(), out, error);
}

}  // namespace sarvo::pictorn
