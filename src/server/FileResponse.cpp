#include "server/FileResponse.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sarvo {
namespace {

// Files are opened non-blocking: a fifo in a shared folder would otherwise hold the connection thread
// in open() until some writer appeared. Regular files ignore the flag.
int OpenForReading(const std::string& path, const Confinement& confinement) {
    int fd;
    do {
        fd = OpenConfined(confinement, path, O_RDONLY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

ssize_t ReadAt(int fd, char* dst, size_t n, uint64_t offset) {
    ssize_t count;
    do {
        count = ::pread(fd, dst, n, static_cast<off_t>(offset));
    } while (count < 0 && errno == EINTR);
    return count;
}

}  // namespace

FileResponse::~FileResponse() {
    if (m_file >= 0)
        ::close(m_file);
}

bool FileResponse::OpenFile(const std::string& path, const Confinement& confinement) {
    if (m_file >= 0 || path.empty())
        return false;
    int fd = OpenForReading(path, confinement);
    if (fd < 0)
        return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return false;
    }
    m_file = fd;
    m_fileSize = static_cast<uint64_t>(info.st_size);
    m_selectedLength = m_fileSize;
    m_offset = 0;
    m_remaining = m_fileSize;
    return true;
}

bool FileResponse::SelectRange(uint64_t first, uint64_t length) {
    if (m_file < 0 || first > m_fileSize || length > m_fileSize - first)
        return false;
    m_selectedLength = length;
    m_offset = first;
    m_remaining = length;
    return true;
}

uint64_t FileResponse::BodyLength() const {
    return m_file >= 0 ? m_selectedLength : HttpResponse::BodyLength();
}

size_t FileResponse::ReadBody(char* dst, size_t n) {
    if (m_file < 0)
        return HttpResponse::ReadBody(dst, n);
    if (m_remaining == 0 || n == 0)
        return 0;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(n, m_remaining));
    ssize_t count = ReadAt(m_file, dst, wanted, m_offset);
    if (count <= 0)
        return 0;
    SkipFileBody(static_cast<uint64_t>(count));
    return static_cast<size_t>(count);
}

bool FileResponse::FileBody(FileBodyStretch& out) const {
    if (m_file < 0)
        return false;
    out.descriptor = m_file;
    out.offset = m_offset;
    out.remaining = m_remaining;
    return true;
}

void FileResponse::SkipFileBody(uint64_t n) {
    n = std::min(n, m_remaining);
    m_offset += n;
    m_remaining -= n;
}

}  // namespace sarvo
