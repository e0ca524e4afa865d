#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FindData.h"

// The entries a listing page shows, read from a folder (or gathered from the published files) and
// sorted the way the pages show them.
namespace sarvo {

enum class SortColumn { Name = 0, TypeName = 1, Size = 2, LastWriteTime = 3 };
enum class SortOrder { Ascending, Descending };
enum class ScanEntries { FilesAndFolders, FilesOnly };

class DirectoryList {
public:
    DirectoryList();

    void Add(FindData entry) { m_entries.push_back(std::move(entry)); }
    void Clear() { m_entries.clear(); }

    size_t Size() const { return m_entries.size(); }
    bool IsEmpty() const { return m_entries.empty(); }
    const FindData& operator[](size_t index) const { return m_entries[index]; }
    std::vector<FindData>::const_iterator begin() const { return m_entries.begin(); }
    std::vector<FindData>::const_iterator end() const { return m_entries.end(); }

    std::vector<FindData>& Entries() { return m_entries; }

private:
    std::vector<FindData> m_entries;
};

bool IsDirectoryEntry(const FindData& entry);
// "pixindex.$$$" in any case.
bool IsThumbnailIndexName(std::string_view name);

// Negative, 0 or positive as a sorts before, with or after b in the ascending order of the column.
// Names compare their bytes without regard to ASCII case; a folder meeting a file is compared as if its
// name began with a blank, which puts folders before every file whose name starts with a printable
// character.
int CompareDirectoryEntries(const FindData& a, const FindData& b, SortColumn column);

void SortDirectoryList(DirectoryList& list, SortColumn column, SortOrder order);

// Fills the list with the folder's entries: first the folder's thumbnail index (in the folder or in
// the thumbnail cache), then every entry that is neither hidden nor a system entry, except other
// copies of the index, folders whose names start with '.' and, with FilesOnly, every folder. A folder
// that cannot be listed leaves the list holding at most the index. Under a confinement, entries that
// are links leading out of its root are left out.
void ScanDirectory(DirectoryList& list, const std::string& diskPath, ScanEntries which,
                   const Confinement& confinement = {});

}  // namespace sarvo
