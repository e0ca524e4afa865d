#include "site/PendingUpload.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "common/Format.h"

namespace sarvo {
namespace {

// A few names are tried in case another upload picked the same one.
constexpr int kHiddenNameAttempts = 8;
constexpr mode_t kUploadMode = 0666;  // narrowed by the umask, as any new file

std::string RandomHiddenName() {
    // Without the kernel's randomness the process id and a counter still keep names apart.
    static std::atomic<uint64_t> counter{0};
    uint64_t random = 0;
    if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
        random = static_cast<uint64_t>(::getpid()) << 32 | counter.fetch_add(1);
    return Format(".sarvo-upload-%016llx", static_cast<unsigned long long>(random));
}

}  // namespace

bool PendingUpload::Create(int folder) {
    Discard();
    m_folder = folder;
    m_file = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, kUploadMode);
    if (m_file >= 0)
        return true;
    // No nameless files on this file system (or kernel): a hidden name from the start.
    for (int attempt = 0; attempt < kHiddenNameAttempts; ++attempt) {
        const std::string name = RandomHiddenName();
        m_file =
            ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kUploadMode);
        if (m_file >= 0) {
            m_hiddenName = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool PendingUpload::Write(const char* data, size_t length, uint64_t& written) {
    while (length > 0 && m_file >= 0) {
        const ssize_t done = ::write(m_file, data, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            Discard();
            return false;
        }
        data += done;
        length -= static_cast<size_t>(done);
        written += static_cast<uint64_t>(done);
    }
    return m_file >= 0;
}

bool PendingUpload::GiveHiddenName() {
    if (!m_hiddenName.empty())
        return true;
    const std::string self = Format("/proc/self/fd/%d", m_file);
    for (int attempt = 0; attempt < kHiddenNameAttempts; ++attempt) {
        const std::string name = RandomHiddenName();
        if (::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            m_hiddenName = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool PendingUpload::Commit(const std::string& name) {
    if (m_file < 0)
        return false;
    // The data reaches the disk before the name does, so a crash cannot leave the final name on a
    // file whose blocks were never written.
    if (::fsync(m_file) != 0 || !GiveHiddenName() ||
        ::renameat(m_folder, m_hiddenName.c_str(), m_folder, name.c_str()) != 0) {
        Discard();
        return false;
    }
    m_hiddenName.clear();
    ::close(m_file);
    m_file = -1;
    // The rename itself is made durable too; it has happened whether or not this succeeds.
    ::fsync(m_folder);
    return true;
}

void PendingUpload::Discard() {
    if (!m_hiddenName.empty())
        ::unlinkat(m_folder, m_hiddenName.c_str(), 0);
    m_hiddenName.clear();
    if (m_file >= 0)
        ::close(m_file);
    m_file = -1;
}

bool IsReplaceableByUpload(int folder, const std::string& name) {
    struct stat info {};
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

}  // namespace sarvo
