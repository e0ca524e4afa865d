#include "platform/TempFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace sarvo {
namespace {

constexpr char kUniqueSuffix[] = "XXXXXX";

}  // namespace

TempFile::TempFile(int descriptor, std::string path, TempFileMode mode)
    : m_descriptor(descriptor), m_path(std::move(path)), m_mode(mode) {}

TempFile::~TempFile() {
    Close();
}

TempFile::TempFile(TempFile&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)),
      m_path(std::move(other.m_path)),
      m_mode(other.m_mode) {
    other.m_path.clear();
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_path = std::move(other.m_path);
        other.m_path.clear();
        m_mode = other.m_mode;
    }
    return *this;
}

void TempFile::Close() {
    if (m_descriptor < 0)
        return;
    // Linux releases the descriptor even when close fails, so there is nothing to retry.
    ::close(m_descriptor);
    m_descriptor = -1;
}

std::string TempFolderPath() {
    const char* configured = std::getenv("TMPDIR");
    std::string folder = configured && *configured ? configured : kDefaultTempFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

TempFile CreateTempFile(TempFileMode mode) {
    std::string path = TempFolderPath() + "/" + kTempFilePrefix + kUniqueSuffix;
    // mkostemp creates the file exclusively (mode 0600, read and write) and sets close-on-exec in the
    // same call, so no spawned tool can inherit it between the open and an fcntl.
    int descriptor = ::mkostemp(path.data(), O_CLOEXEC);
    if (descriptor < 0)
        return TempFile();
    if (mode == TempFileMode::DeleteOnClose) {
        // Unlinked at once: the open descriptor keeps the data alive, and the kernel frees it with
        // the last close, whichever way the process ends.
        if (::unlink(path.c_str()) != 0) {
            ::close(descriptor);
            return TempFile();
        }
        path.clear();
    }
    return TempFile(descriptor, std::move(path), mode);
}

}  // namespace sarvo
