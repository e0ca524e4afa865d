#pragma once

#include <dirent.h>
#include <fcntl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ConfinedOpen.h"
#include "platform/FileTime.h"

// Directory entries in the shape of a Windows find record: attribute bits, three file times and a
// 64-bit size. Symbolic links are followed everywhere: a link describes what it points at, and a
// dangling link does not exist.
namespace sarvo {

inline constexpr uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr uint32_t kFileAttributeHidden = 0x2;
inline constexpr uint32_t kFileAttributeSystem = 0x4;
inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kFileAttributeArchive = 0x20;
inline constexpr uint32_t kFileAttributeNormal = 0x80;
inline constexpr uint32_t kFileAttributeTemporary = 0x100;

// Attributes are derived from the file's type, name and mode bits:
//   Directory  a directory.
//   Archive    every regular file, whatever else it carries, as every file written on Windows does;
//              Normal is therefore never reported.
//   Hidden     the name begins with '.'.
//   System     neither a regular file nor a directory (a fifo, a socket, a device).
//   ReadOnly   the owner has no write permission bit. The mode bits are used rather than access(),
//              because access() says "writable" to root for every file and the attribute is meant to
//              describe the file, not the caller's privileges.
struct FindData {
    uint32_t attributes = 0;
    FileTime creationTime;  // the birth time where the file system keeps one, else the change time
    FileTime lastAccessTime;
    FileTime lastWriteTime;
    uint64_t size = 0;  // 0 for directories
    std::string name;   // the last component only
};

// '*' matches any run of characters, '?' exactly one. "*" and "*.*" match every name, also names
// without a dot, as on Windows. Comparison is case-sensitive, as Linux file names are.
bool WildcardMatch(std::string_view pattern, std::string_view name);

bool HasWildcards(std::string_view pattern);

// Lists "folder/pattern". The last component is the pattern; without wildcards it names a single
// entry, which is listed when it exists. "." and ".." are never listed (Windows lists them for "*",
// but every caller skipped them). An entry that vanishes or dangles while it is listed is skipped.
class DirectoryEnumerator {
public:
    explicit DirectoryEnumerator(const std::string& patternPath);
    // The folder is opened under the confinement, and an entry that is a symbolic link is listed only
    // when it resolves inside the confinement's root.
    DirectoryEnumerator(const std::string& patternPath, const Confinement& confinement);
    ~DirectoryEnumerator();
    DirectoryEnumerator(const DirectoryEnumerator&) = delete;
    DirectoryEnumerator& operator=(const DirectoryEnumerator&) = delete;

    // False once there are no more entries (or the folder could not be opened).
    bool Next(FindData& out);

private:
    std::string m_folder;
    std::string m_pattern;
    Confinement m_confinement;
    DIR* m_directory = nullptr;
    bool m_singleEntryDone = false;
};

bool GetFileAttributes(const std::string& path, uint32_t& out);

// The record of one path, name = its last component ("" for the root). True when the path exists.
// The volume is not asked first: a path on a volume without a medium simply does not exist here, and
// every request resolves a path, so the mount table is not read for it.
bool GetFindData(const std::string& path, FindData& out);

// The record of a path whose name is known; false when it does not exist. dirFd may be AT_FDCWD.
bool StatFindData(int dirFd, const char* path, std::string name, FindData& out);
// The record of an open descriptor (one opened with O_PATH too).
bool DescriptorFindData(int descriptor, std::string name, FindData& out);

}  // namespace sarvo
