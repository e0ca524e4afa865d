#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ConfinedOpen.h"
#include "thumbindex/ThumbnailIndexFormat.h"

// Reads a folder's thumbnail index ("pixindex.$$$"), which the pictorn tool writes and this server
// never changes. The index has no table of contents: entries are found by reading it from the start,
// one header and its image data after the other.
namespace sarvo {

class ThumbnailIndex {
public:
    ThumbnailIndex() = default;
    ~ThumbnailIndex();
    ThumbnailIndex(const ThumbnailIndex&) = delete;
    ThumbnailIndex& operator=(const ThumbnailIndex&) = delete;

    // Opens the index for reading, closing one already open. False when the file cannot be opened,
    // or when it lies below the confinement's root and can only be reached through a link out of it.
    bool Open(std::string_view path, const Confinement& confinement = {});
    bool IsOpen() const { return m_file >= 0; }
    const std::string& Path() const { return m_path; }

    // The next entry's header, with the read position moved past its image data. False at the end:
    // when the index is not open or fewer than a whole header's bytes remain.
    bool Next(ThumbnailEntryHeader& out);

    // The unmasked image of the entry named like the text after the last '/' or '\' of name, compared
    // without regard to case, searched from the start of the index. The bytes are followed by one
    // NUL that length does not count. Null, with length 0, when no entry matches, the index ends inside
    // a header, or the matching entry's data is cut short. Moves the read position that Next uses.
    std::unique_ptr<uint8_t[]> FindImage(std::string_view name, size_t& length);

    void Close();

private:
    // False unless exactly n bytes were read at the read position, which then moves past them.
    bool ReadExactly(uint8_t* dst, size_t n);

    int m_file = -1;
    uint64_t m_position = 0;  // where the next header, or the found entry's data, begins
    std::string m_path;
};

}  // namespace sarvo
