#include "platform/ConfinedOpen.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

namespace sarvo {
namespace {

// A descriptor closed when the scope ends.
class ScopedDescriptor {
public:
    explicit ScopedDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~ScopedDescriptor() {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
    int Get() const { return m_descriptor; }
    void Reset(int descriptor) {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
        m_descriptor = descriptor;
    }

private:
    int m_descriptor;
};

// The part of path below root, or false when path is not below it. root and path have no trailing
// separator and no doubled ones.
bool RelativeBelow(std::string_view root, std::string_view path, std::string_view& relative) {
    if (root == "/") {
        if (path.size() < 2 || path[0] != '/')
            return false;
        relative = path.substr(1);
        return true;
    }
    if (path.size() <= root.size() + 1 || path.substr(0, root.size()) != root || path[root.size()] != '/')
        return false;
    relative = path.substr(root.size() + 1);
    return true;
}

// The kernel resolves every component, links included, and refuses any step above the directory it
// starts from (absolute links too).
int OpenBeneath(int rootDescriptor, const std::string& relative, int flags, mode_t mode) {
    open_how how{};
    how.flags = static_cast<uint64_t>(flags) | O_CLOEXEC;
    how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, rootDescriptor, relative.c_str(), &how, sizeof how));
}

// For kernels without openat2 (before 5.6): each component opened in turn without following a link,
// so every link below the root counts as leading out of it, even one that would stay inside.
int OpenEachComponent(int rootDescriptor, std::string_view relative, int flags, mode_t mode) {
    ScopedDescriptor current(::dup(rootDescriptor));
    if (current.Get() < 0)
        return -1;
    for (;;) {
        const size_t slash = relative.find('/');
        const std::string component(relative.substr(0, slash));
        if (component == "..") {
            errno = EXDEV;
            return -1;
        }
        if (slash == std::string_view::npos)
            return ::openat(current.Get(), component.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
        current.Reset(
            ::openat(current.Get(), component.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (current.Get() < 0)
            return -1;
        relative.remove_prefix(slash + 1);
    }
}

}  // namespace

struct Confinement::OpenedRoot {
    OpenedRoot(std::string rootPath, int rootDescriptor)
        : path(std::move(rootPath)), descriptor(rootDescriptor) {}
    ~OpenedRoot() { ::close(descriptor); }
    OpenedRoot(const OpenedRoot&) = delete;
    OpenedRoot& operator=(const OpenedRoot&) = delete;

    std::string path;
    int descriptor;
};

namespace {

// The confinement's root folder, opened at its first use; -1 with errno set when it cannot be.
int RootDescriptor(const Confinement& confinement) {
    if (confinement.openedRoot && confinement.openedRoot->path == confinement.root)
        return confinement.openedRoot->descriptor;
    const int descriptor = ::open(confinement.root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return -1;
    confinement.openedRoot = std::make_shared<const Confinement::OpenedRoot>(confinement.root, descriptor);
    return descriptor;
}

}  // namespace

bool Confinement::Covers(std::string_view path) const {
    std::string_view relative;
    return !root.empty() && RelativeBelow(root, path, relative);
}

int OpenConfined(const Confinement& confinement, const std::string& path, int flags, mode_t mode) {
    if (!confinement.Confines() || path == confinement.root)
        return ::open(path.c_str(), flags | O_CLOEXEC, mode);
    std::string_view relative;
    if (!RelativeBelow(confinement.root, path, relative)) {
        errno = EXDEV;
        return -1;
    }
    const int root = RootDescriptor(confinement);
    if (root < 0)
        return -1;
    const std::string relativePath(relative);
    const int opened = OpenBeneath(root, relativePath, flags, mode);
    if (opened >= 0 || errno != ENOSYS)
        return opened;
    return OpenEachComponent(root, relative, flags, mode);
}

bool IsReachableInside(const Confinement& confinement, const std::string& path) {
    ScopedDescriptor opened(OpenConfined(confinement, path, O_PATH));
    return opened.Get() >= 0;
}

}  // namespace sarvo
