#include "site/DirectoryList.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/Text.h"
#include "site/FileFacts.h"
#include "thumbindex/ThumbnailIndexPath.h"

namespace sarvo {
namespace {

// The pages start with room for this many entries, enough for most folders without a regrowth.
constexpr size_t kInitialEntries = 32;

constexpr uint32_t kNeverListed = kFileAttributeHidden | kFileAttributeSystem;

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The name of a folder compared with the name of a file: the folder's name counts as if it began with
// a blank. Written out rather than by building " " + name, because a sort makes many comparisons.
int CompareFolderWithFile(std::string_view folder, std::string_view file) {
    const size_t folderLength = folder.size() + 1;
    const size_t common = std::min(folderLength, file.size());
    for (size_t i = 0; i < common; ++i) {
        auto x = static_cast<unsigned char>(i == 0 ? ' ' : LowerAscii(folder[i - 1]));
        auto y = static_cast<unsigned char>(LowerAscii(file[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (folderLength == file.size())
        return 0;
    return folderLength < file.size() ? -1 : 1;
}

int CompareNames(const FindData& a, const FindData& b) {
    const bool aIsFolder = IsDirectoryEntry(a);
    const bool bIsFolder = IsDirectoryEntry(b);
    if (aIsFolder == bIsFolder)
        return CompareIgnoreCase(a.name, b.name);
    return aIsFolder ? CompareFolderWithFile(a.name, b.name) : -CompareFolderWithFile(b.name, a.name);
}

template <typename T>
int CompareValues(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// A lowered name's first 16 bytes as two big-endian numbers (zero-padded: no file name holds a NUL, so
// a shorter name still sorts first), and where the bytes after them lie in the shared buffer.
struct NameKey {
    uint64_t head = 0;
    uint64_t next = 0;
    uint32_t restOffset = 0;
    uint32_t restLength = 0;
    uint32_t index = 0;
};

constexpr size_t kKeyWordBytes = 8;

uint64_t BigEndianWord(std::string_view bytes, size_t from) {
    uint64_t word = 0;
    for (size_t i = 0; i < kKeyWordBytes; ++i) {
        const size_t at = from + i;
        word = (word << 8) | (at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u);
    }
    return word;
}

NameKey MakeNameKey(std::string_view key, size_t offset, uint32_t index) {
    NameKey made;
    made.head = BigEndianWord(key, 0);
    made.next = BigEndianWord(key, kKeyWordBytes);
    const size_t inWords = std::min(key.size(), 2 * kKeyWordBytes);
    made.restOffset = static_cast<uint32_t>(offset + inWords);
    made.restLength = static_cast<uint32_t>(key.size() - inWords);
    made.index = index;
    return made;
}

bool NameKeyLess(const NameKey& a, const NameKey& b, const char* rest) {
    if (a.head != b.head)
        return a.head < b.head;
    if (a.next != b.next)
        return a.next < b.next;
    const size_t common = std::min(a.restLength, b.restLength);
    if (common > 0) {
        if (int order = std::memcmp(rest + a.restOffset, rest + b.restOffset, common); order != 0)
            return order < 0;
    }
    return a.restLength < b.restLength;
}

bool IsListable(const FindData& entry) {
    return (entry.attributes & kNeverListed) == 0;
}

}  // namespace

DirectoryList::DirectoryList() {
    m_entries.reserve(kInitialEntries);
}

bool IsDirectoryEntry(const FindData& entry) {
    return (entry.attributes & kFileAttributeDirectory) != 0;
}

bool IsThumbnailIndexName(std::string_view name) {
    return EqualsIgnoreCase(name, kThumbnailIndexName);
}

int CompareDirectoryEntries(const FindData& a, const FindData& b, SortColumn column) {
    switch (column) {
        case SortColumn::Name:
            return CompareNames(a, b);
        case SortColumn::TypeName:
            return CompareIgnoreCase(FileTypeName(a), FileTypeName(b));
        case SortColumn::Size:
            return CompareValues(a.size, b.size);
        case SortColumn::LastWriteTime:
            return CompareValues(a.lastWriteTime.ticks, b.lastWriteTime.ticks);
    }
    return 0;
}

void SortDirectoryList(DirectoryList& list, SortColumn column, SortOrder order) {
    std::vector<FindData>& entries = list.Entries();
    const int sign = order == SortOrder::Ascending ? 1 : -1;
    if (column != SortColumn::Name) {
        std::sort(entries.begin(), entries.end(), [column, sign](const FindData& a, const FindData& b) {
            return sign * CompareDirectoryEntries(a, b, column) < 0;
        });
        return;
    }
    // Large folders are listed by name at every request, so each name is lowered once into a key, and
    // most comparisons are two integer comparisons of its first 16 bytes. A folder's key begins with the
    // blank it is compared with, which orders every pair exactly as CompareDirectoryEntries does.
    size_t total = 0;
    for (const FindData& entry : entries)
        total += entry.name.size() + 1;
    std::string lowered(total, '\0');
    std::vector<NameKey> keys(entries.size());
    size_t start = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = entries[i].name;
        char* out = lowered.data() + start;
        const size_t prefix = IsDirectoryEntry(entries[i]) ? 1 : 0;
        if (prefix)
            *out = ' ';
        std::transform(name.begin(), name.end(), out + prefix, LowerAscii);
        const size_t length = prefix + name.size();
        keys[i] = MakeNameKey(std::string_view(out, length), start, static_cast<uint32_t>(i));
        start += length;
    }
    const char* rest = lowered.data();
    std::sort(keys.begin(), keys.end(), [rest, sign](const NameKey& a, const NameKey& b) {
        return sign > 0 ? NameKeyLess(a, b, rest) : NameKeyLess(b, a, rest);
    });
    std::vector<uint32_t> sequence(keys.size());
    std::transform(keys.begin(), keys.end(), sequence.begin(), [](const NameKey& key) { return key.index; });
    std::vector<FindData> sorted;
    sorted.reserve(entries.size());
    for (uint32_t index : sequence)
        sorted.push_back(std::move(entries[index]));
    entries.swap(sorted);
}

void ScanDirectory(DirectoryList& list, const std::string& diskPath, ScanEntries which,
                   const Confinement& confinement) {
    list.Clear();
    std::string folder = diskPath;
    NormalizePath(folder);

    bool haveIndex = false;
    std::string indexPath;
    FindData index;
    // The index is looked at directly, without asking for its volume: the folder's own volume has just
    // answered for the listing's path.
    if (ThumbnailIndexPath(folder, ThumbnailCache::LookupOnly, indexPath) &&
        (!confinement.Covers(indexPath) || IsReachableInside(confinement, indexPath)) &&
        StatFindData(AT_FDCWD, indexPath.c_str(), kThumbnailIndexName, index) && IsListable(index) &&
        !IsDirectoryEntry(index)) {
        list.Add(std::move(index));
        haveIndex = true;
    }

    DirectoryEnumerator entries(folder + "/*.*", confinement);
    FindData entry;
    while (entries.Next(entry)) {
        if (!IsListable(entry))
            continue;
        const bool isFolder = IsDirectoryEntry(entry);
        if (!isFolder && IsThumbnailIndexName(entry.name)) {
            // Names here are case-sensitive, so the lookup above misses an index spelled in another
            // case; the first such file stands in for it, and the index is still listed once.
            if (!haveIndex) {
                list.Add(std::move(entry));
                haveIndex = true;
            }
            continue;
        }
        if (isFolder && (which == ScanEntries::FilesOnly || entry.name.starts_with('.')))
            continue;
        list.Add(std::move(entry));
    }
}

}  // namespace sarvo
