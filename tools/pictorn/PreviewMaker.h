#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Turns a picture file into the small image an index entry holds. Everything that touches libvips is
// behind this header, so the rest of the tool builds and tests without it.
namespace sarvo::pictorn {

// The largest preview: the listing page lays previews out in 120-pixel columns.
inline constexpr int kPreviewBox = 120;

enum class PreviewEncoding { Gif, Bmp };

struct Preview {
    std::vector<uint8_t> image;  // a complete GIF or BMP file
    uint32_t width = 0;
    uint32_t height = 0;
    PreviewEncoding encoding = PreviewEncoding::Gif;
};

// libvips for the life of the process: started once before any worker thread, shut down after the
// last one has ended.
class VipsRuntime {
public:
    VipsRuntime() = default;
    ~VipsRuntime();
    VipsRuntime(const VipsRuntime&) = delete;
    VipsRuntime& operator=(const VipsRuntime&) = delete;

    // False with a reason when libvips cannot start.
    bool Start(const char* programName, std::string& error);

private:
    bool m_started = false;
};

// The lower-case name endings of the picture formats this machine's libvips can read.
std::vector<std::string> ReadablePictureEndings();

// Fits the picture into kPreviewBox x kPreviewBox, keeping its aspect ratio and turning it upright by
// its EXIF orientation; a smaller picture keeps its size. Transparent parts are put on white, the
// listing page's background. GIF is tried first; BMP is used when GIF cannot be written or when
// preferred is Bmp. False with a reason when the picture cannot be read.
bool MakePreview(const std::string& path, PreviewEncoding preferred, Preview& out, std::string& error);

// Releases what libvips keeps for the calling thread; each worker calls it as it ends.
void EndPreviewThread();

}  // namespace sarvo::pictorn
