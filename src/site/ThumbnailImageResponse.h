#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "server/HttpResponse.h"

// The preview of one picture, taken from its folder's thumbnail index and answered from memory.
namespace sarvo {

class ConnectionContext;
struct ResolvedPath;

inline constexpr char kThumbnailGifType[] = "image/gif";
inline constexpr char kThumbnailBmpType[] = "image/bmp";

// A response whose body is the preview image, owned by the response and freed with it.
class ThumbnailImageResponse : public HttpResponse {
public:
    ThumbnailImageResponse() = default;
    ~ThumbnailImageResponse() override = default;

    // The complete answer for a picture requested by its URL path (still percent-encoded, without the
    // query). It is always status 200: a picture without a preview (or a folder without an index)
    // gets "image/bmp" with an empty body, which a browser shows as a broken image rather than an
    // error page in the middle of the list.
    void BuildThumbnailImage(std::string_view urlPath);
    // The same for a path already resolved.
    void BuildThumbnailImage(const ResolvedPath& path);

    uint64_t BodyLength() const override { return m_imageLength; }
    size_t ReadBody(char* dst, size_t n) override;

private:
    std::unique_ptr<uint8_t[]> m_image;
    size_t m_imageLength = 0;
    size_t m_imageRead = 0;
};

// "image/gif" when the image begins with 'G' or 'g', otherwise "image/bmp": the index holds only
// these two kinds, and a GIF always starts with its signature.
std::string_view ThumbnailContentType(const uint8_t* image, size_t length);

// Route handler: the preview of the file the path resolved to, sent with progress.
int SendThumbnailImage(ConnectionContext& connection, const ResolvedPath& path);

}  // namespace sarvo
