#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

// Writes one folder's index so that a reader only ever sees the old index or the whole new one: the
// entries go to a temporary file beside the index, which replaces it by a rename once complete.
namespace sarvo::pictorn {

class IndexWriter {
public:
    IndexWriter();
    // A writer that was not committed removes its temporary file.
    ~IndexWriter();
    IndexWriter(const IndexWriter&) = delete;
    IndexWriter& operator=(const IndexWriter&) = delete;

    // Makes the temporary file in the index's folder; a rename only replaces atomically within one
    // file system.
    bool Open(const std::string& indexPath, std::string& error);

    // Masks image in place and appends the entry. width and height are stored as dimension B and
    // dimension A.
    bool Add(const std::string& name, std::vector<uint8_t>& image, uint32_t width, uint32_t height,
             std::string& error);

    // Flushes the file to the disk, then renames it over the index.
    bool Commit(std::string& error);

    size_t EntryCount() const { return m_entries; }
    const std::string& TemporaryPath() const { return m_temporaryPath; }

private:
    void Discard();

    std::string m_indexPath;
    std::string m_temporaryPath;
    std::FILE* m_file = nullptr;
    size_t m_entries = 0;
    std::mt19937 m_random;
};

}  // namespace sarvo::pictorn
