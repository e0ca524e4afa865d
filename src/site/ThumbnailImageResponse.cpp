#include "site/ThumbnailImageResponse.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "server/PathResolver.h"
#include "server/SendResponse.h"
#include "site/ThumbnailIndex.h"
#include "thumbindex/ThumbnailIndexPath.h"

namespace sarvo {

void ThumbnailImageResponse::BuildThumbnailImage(std::string_view urlPath) {
    BuildThumbnailImage(ResolvePath(urlPath));
}

void ThumbnailImageResponse::BuildThumbnailImage(const ResolvedPath& path) {
    m_image.reset();
    m_imageLength = 0;
    m_imageRead = 0;

    // A path that did not resolve has no disk path, hence no folder and no index: it gets the same
    // empty answer as a picture the index does not hold.
    const std::string_view diskPath = path.diskPath;
    const size_t separator = diskPath.find_last_of("/\\");
    if (separator != std::string_view::npos) {
        const std::string_view folder =
            separator == 0 ? diskPath.substr(0, 1) : diskPath.substr(0, separator);
        const std::string_view picture = diskPath.substr(separator + 1);
        std::string indexPath;
        ThumbnailIndex index;
        if (FindThumbnailIndex(folder, indexPath) && index.Open(indexPath, path.confinement))
            m_image = index.FindImage(picture, m_imageLength);
    }
    if (!m_image)
        m_imageLength = 0;

    BeginResponse(200);
    SetConnection("close");
    SetContentType(ThumbnailContentType(m_image.get(), m_imageLength));
    FinishHeaders();
}

size_t ThumbnailImageResponse::ReadBody(char* dst, size_t n) {
    const size_t count = std::min(n, m_imageLength - m_imageRead);
    if (count > 0)
        std::memcpy(dst, m_image.get() + m_imageRead, count);
    m_imageRead += count;
    return count;
}

std::string_view ThumbnailContentType(const uint8_t* image, size_t length) {
    if (image && length > 0 && (image[0] == 'G' || image[0] == 'g'))
        return kThumbnailGifType;
    return kThumbnailBmpType;
}

int SendThumbnailImage(ConnectionContext& connection, const ResolvedPath& path) {
    ThumbnailImageResponse response;
    response.BuildThumbnailImage(path);
    return SendResponse(connection, response, ProgressReport::On);
}

}  // namespace sarvo
