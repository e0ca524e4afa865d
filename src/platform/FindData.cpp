#include "platform/FindData.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace sarvo {
namespace {

constexpr char kMatchAll[] = "*";
constexpr char kMatchAllWithDot[] = "*.*";

bool IsDotEntry(std::string_view name) {
    return name == "." || name == "..";
}

// "." and ".." name a folder through its relation to another; they do not make it hidden.
bool IsHiddenName(std::string_view name) {
    return !name.empty() && name[0] == '.' && !IsDotEntry(name);
}

// The last component of a path, ignoring trailing separators; "" for the root.
std::string LastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    if (path == "/")
        return std::string();
    size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// What the stat call told us, whichever call it was.
struct EntryStatus {
    mode_t mode = 0;
    uint64_t size = 0;
    timespec creation{};
    timespec access{};
    timespec write{};
};

timespec FromStatxTime(const struct statx_timestamp& time) {
    timespec result{};
    result.tv_sec = static_cast<time_t>(time.tv_sec);
    result.tv_nsec = static_cast<long>(time.tv_nsec);
    return result;
}

// statx is asked first because only it reports the birth time. It can be missing (an old kernel, a
// container's system-call filter), and then fstatat answers with the change time standing in.
bool StatEntry(int dirFd, const char* path, EntryStatus& out, int flags) {
    struct statx extended {};
    if (::statx(dirFd, path, AT_STATX_SYNC_AS_STAT | flags, STATX_BASIC_STATS | STATX_BTIME, &extended) ==
        0) {
        out.mode = extended.stx_mode;
        out.size = extended.stx_size;
        out.access = FromStatxTime(extended.stx_atime);
        out.write = FromStatxTime(extended.stx_mtime);
        bool hasBirth = (extended.stx_mask & STATX_BTIME) != 0;
        out.creation = FromStatxTime(hasBirth ? extended.stx_btime : extended.stx_ctime);
        return true;
    }
    if (errno != ENOSYS && errno != EPERM)
        return false;
    struct stat info {};
    if (::fstatat(dirFd, path, &info, flags) != 0)
        return false;
    out.mode = info.st_mode;
    out.size = static_cast<uint64_t>(info.st_size);
    out.access = info.st_atim;
    out.write = info.st_mtim;
    out.creation = info.st_ctim;
    return true;
}

uint32_t AttributesOf(mode_t mode, std::string_view name) {
    uint32_t attributes = 0;
    if (S_ISDIR(mode))
        attributes |= kFileAttributeDirectory;
    else if (S_ISREG(mode))
        attributes |= kFileAttributeArchive;
    else
        attributes |= kFileAttributeSystem;
    if (IsHiddenName(name))
        attributes |= kFileAttributeHidden;
    if ((mode & S_IWUSR) == 0)
        attributes |= kFileAttributeReadOnly;
    return attributes;
}

bool FindDataOf(int dirFd, const char* path, std::string name, FindData& out, int flags) {
    EntryStatus status;
    if (!StatEntry(dirFd, path, status, flags))
        return false;
    FindData result;
    result.attributes = AttributesOf(status.mode, name);
    result.creationTime = FileTimeFromTimespec(status.creation);
    result.lastAccessTime = FileTimeFromTimespec(status.access);
    result.lastWriteTime = FileTimeFromTimespec(status.write);
    result.size = S_ISDIR(status.mode) ? 0 : status.size;
    result.name = std::move(name);
    out = std::move(result);
    return true;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == kMatchAll || pattern == kMatchAllWithDot)
        return true;
    // Greedy matching with one backtrack point: on a mismatch the last '*' takes one more character.
    // Earlier stars never need to be revisited, so a hostile pattern costs at most the product of
    // the two lengths, never exponential time or deep recursion.
    size_t p = 0;
    size_t n = 0;
    size_t starAt = std::string_view::npos;
    size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool HasWildcards(std::string_view pattern) {
    return pattern.find_first_of("*?") != std::string_view::npos;
}

bool StatFindData(int dirFd, const char* path, std::string name, FindData& out) {
    return FindDataOf(dirFd, path, std::move(name), out, 0);
}

bool DescriptorFindData(int descriptor, std::string name, FindData& out) {
    return FindDataOf(descriptor, "", std::move(name), out, AT_EMPTY_PATH);
}

bool GetFileAttributes(const std::string& path, uint32_t& out) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return false;
    out = AttributesOf(info.st_mode, LastComponent(path));
    return true;
}

bool GetFindData(const std::string& path, FindData& out) {
    if (path.empty())
        return false;
    return StatFindData(AT_FDCWD, path.c_str(), LastComponent(path), out);
}

DirectoryEnumerator::DirectoryEnumerator(const std::string& patternPath) {
    size_t slash = patternPath.rfind('/');
    if (slash == std::string::npos) {
        m_folder = std::string(1, '.');
        m_pattern = patternPath;
    } else {
        m_folder = slash == 0 ? std::string(1, '/') : patternPath.substr(0, slash);
        m_pattern = patternPath.substr(slash + 1);
    }
    // A single name is looked up directly in Next; only a pattern needs the folder open.
    if (!m_pattern.empty() && HasWildcards(m_pattern))
        m_directory = ::opendir(m_folder.c_str());
}

DirectoryEnumerator::DirectoryEnumerator(const std::string& patternPath, const Confinement& confinement)
    : DirectoryEnumerator(patternPath) {
    m_confinement = confinement;
    if (!m_confinement.Confines() || !m_directory)
        return;
    ::closedir(m_directory);
    m_directory = nullptr;
    const int folder = OpenConfined(m_confinement, m_folder, O_RDONLY | O_DIRECTORY);
    if (folder < 0)
        return;
    m_directory = ::fdopendir(folder);
    if (!m_directory)
        ::close(folder);
}

DirectoryEnumerator::~DirectoryEnumerator() {
    if (m_directory)
        ::closedir(m_directory);
}

bool DirectoryEnumerator::Next(FindData& out) {
    if (m_pattern.empty())
        return false;
    if (!HasWildcards(m_pattern)) {
        if (m_singleEntryDone || IsDotEntry(m_pattern))
            return false;
        m_singleEntryDone = true;
        return StatFindData(AT_FDCWD, (m_folder + "/" + m_pattern).c_str(), m_pattern, out);
    }
    if (!m_directory)
        return false;
    while (const dirent* entry = ::readdir(m_directory)) {
        std::string_view name = entry->d_name;
        if (IsDotEntry(name) || !WildcardMatch(m_pattern, name))
            continue;
        // A link is described by what it leads to, and only when that lies inside the confinement.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            if (m_confinement.Confines() && !IsReachableInside(m_confinement, m_folder + "/" + entry->d_name))
                continue;
        }
        // Relative to the open folder, so a folder renamed while it is listed still answers.
        if (StatFindData(::dirfd(m_directory), entry->d_name, std::string(name), out))
            return true;
    }
    return false;
}

}  // namespace sarvo
