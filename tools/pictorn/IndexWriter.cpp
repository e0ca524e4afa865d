#include "IndexWriter.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "thumbindex/ThumbnailIndexFormat.h"

namespace sarvo::pictorn {

namespace {

// The index lists names anyone who can open the folder already sees; the server may run as another
// user than the one who made the index.
constexpr mode_t kIndexMode = 0644;

std::string SystemError(const std::string& what, int code) {
    return what + ": " + ::strerror(code);
}

}  // namespace

IndexWriter::IndexWriter() : m_random(std::random_device{}()) {}

IndexWriter::~IndexWriter() {
    Discard();
}

void IndexWriter::Discard() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temporaryPath.empty()) {
        ::unlink(m_temporaryPath.c_str());
        m_temporaryPath.clear();
    }
}

bool IndexWriter::Open(const std::string& indexPath, std::string& error) {
    Discard();
    m_indexPath = indexPath;
    m_entries = 0;
    std::string pattern = indexPath + ".XXXXXX";
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) {
        error = SystemError("cannot create a file beside " + indexPath, errno);
        return false;
    }
    m_temporaryPath = pattern;
    if (::fchmod(descriptor, kIndexMode) != 0) {
        error = SystemError("cannot set the permissions of " + m_temporaryPath, errno);
        ::close(descriptor);
        ::unlink(m_temporaryPath.c_str());
        m_temporaryPath.clear();
        return false;
    }
    m_file = ::fdopen(descriptor, "wb");
    if (m_file == nullptr) {
        error = SystemError("cannot write " + m_temporaryPath, errno);
        ::close(descriptor);
        Discard();
        return false;
    }
    return true;
}

bool IndexWriter::Add(const std::string& name, std::vector<uint8_t>& image, uint32_t width, uint32_t height,
                      std::string& error) {
    if (m_file == nullptr) {
        error = "the index is not open";
        return false;
    }
    ThumbnailEntryHeader header;
    header.name = name;
    // Any mask works with the reader; a fresh one per entry keeps equal previews from looking alike.
    for (uint8_t& byte : header.mask) {
        byte = static_cast<uint8_t>(m_random());
    }
    header.dataLength = static_cast<uint32_t>(image.size());
    header.dimensionA = height;
    header.dimensionB = width;
    ThumbnailEntryBytes bytes;
    if (!SerializeThumbnailEntryHeader(header, bytes)) {
        error = "the name is too long for the index";
        return false;
    }
    MaskImageData(image, header.mask);
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size() ||
        std::fwrite(image.data(), 1, image.size(), m_file) != image.size()) {
        error = SystemError("cannot write " + m_temporaryPath, errno);
        return false;
    }
    ++m_entries;
    return true;
}

bool IndexWriter::Commit(std::string& error) {
    if (m_file == nullptr) {
        error = "the index is not open";
        return false;
    }
    // Without the sync a crash soon after the rename could leave an empty index in place of the old
    // one on file systems that delay writing the data.
    if (std::fflush(m_file) != 0 || ::fsync(::fileno(m_file)) != 0) {
        error = SystemError("cannot write " + m_temporaryPath, errno);
        Discard();
        return false;
    }
    const int closed = std::fclose(m_file);
    m_file = nullptr;
    if (closed != 0) {
        error = SystemError("cannot write " + m_temporaryPath, errno);
        Discard();
        return false;
    }
    if (::rename(m_temporaryPath.c_str(), m_indexPath.c_str()) != 0) {
        error = SystemError("cannot replace " + m_indexPath, errno);
        Discard();
        return false;
    }
    m_temporaryPath.clear();
    return true;
}

}  // namespace sarvo::pictorn
