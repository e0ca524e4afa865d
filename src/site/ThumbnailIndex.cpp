#include "site/ThumbnailIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <span>

#include "common/Text.h"

namespace sarvo {
namespace {

std::string_view BaseName(std::string_view name) {
    const size_t separator = name.find_last_of("/\\");
    return separator == std::string_view::npos ? name : name.substr(separator + 1);
}

}  // namespace

ThumbnailIndex::~ThumbnailIndex() {
    Close();
}

bool ThumbnailIndex::Open(std::string_view path, const Confinement& confinement) {
    Close();
    m_path.assign(path);
    if (m_path.empty())
        return false;
    // Non-blocking, so that a fifo given the index's name cannot hold the connection thread in open()
    // until a writer appears. The tool may be rewriting the index meanwhile; it replaces the file
    // whole, so the one opened here stays consistent.
    // An index in the thumbnail cache lies outside the folder it describes by design.
    const Confinement applied = confinement.Covers(m_path) ? confinement : Confinement{};
    int fd;
    do {
        fd = OpenConfined(applied, m_path, O_RDONLY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    m_file = fd;
    m_position = 0;
    return m_file >= 0;
}

void ThumbnailIndex::Close() {
    if (m_file >= 0)
        ::close(m_file);
    m_file = -1;
}

bool ThumbnailIndex::ReadExactly(uint8_t* dst, size_t n) {
    if (m_file < 0)
        return false;
    // Reads at a position of our own rather than the descriptor's, so that moving past an image's
    // data costs no system call: a large index is read header by header at every request.
    size_t done = 0;
    while (done < n) {
        const ssize_t count = ::pread(m_file, dst + done, n - done, static_cast<off_t>(m_position + done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<size_t>(count);
    }
    m_position += n;
    return true;
}

bool ThumbnailIndex::Next(ThumbnailEntryHeader& out) {
    ThumbnailEntryBytes bytes;
    if (!ReadExactly(bytes.data(), bytes.size()) || !ParseThumbnailEntryHeader(bytes, out))
        return false;
    // Moving past the end is allowed; the next header read then comes up short and ends the
    // sequence, which is how an entry cut short is meant to end it.
    m_position += out.dataLength;
    return true;
}

std::unique_ptr<uint8_t[]> ThumbnailIndex::FindImage(std::string_view name, size_t& length) {
    length = 0;
    if (m_file < 0)
        return nullptr;
    const std::string_view wanted = BaseName(name);
    m_position = 0;
    ThumbnailEntryHeader header;
    for (;;) {
        if (!Next(header))
            return nullptr;
        if (EqualsIgnoreCase(header.name, wanted))
            break;
    }
    m_position -= header.dataLength;

    // The length comes from the file and may be damaged: it is checked against what the file still
    // holds before anything is allocated, so a wild value costs no memory.
    struct stat info;
    if (::fstat(m_file, &info) != 0 || info.st_size < 0 ||
        static_cast<uint64_t>(info.st_size) < m_position + header.dataLength)
        return nullptr;
    std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[static_cast<size_t>(header.dataLength) + 1]);
    if (!image)
        return nullptr;
    if (!ReadExactly(image.get(), header.dataLength))
        return nullptr;
    image[header.dataLength] = 0;
    MaskImageData(std::span<uint8_t>(image.get(), header.dataLength), header.mask);
    length = header.dataLength;
    return image;
}

}  // namespace sarvo
