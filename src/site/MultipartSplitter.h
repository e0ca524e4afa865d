#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ConfinedOpen.h"

// Cuts the file parts out of a multipart/form-data body that was spooled to a file, and writes each
// into the target folder under the base name the browser gave it.
namespace sarvo {

class PendingUpload;

// A part's header must fit in one read of this size, and it is the smallest read the copy loop
// relies on.
inline constexpr size_t kPartHeaderBlock = 8192;
// The copy reads this much at a time; any size of at least kPartHeaderBlock finds the same parts.
inline constexpr size_t kPartCopyBlock = 256 * 1024;
inline constexpr size_t kMaxBoundaryLength = 4096;
// The longest name a record keeps, as the design's 260-byte field with its NUL.
inline constexpr size_t kUploadNameMax = 259;
// The longest file name Linux file systems take, in bytes.
inline constexpr size_t kStoredNameMax = 255;

struct UploadedFile {
    // The name the browser sent, converted from UTF-8 to the process code page. A name longer than
    // kUploadNameMax keeps only its base name (cut to that length).
    std::string name;
    size_t baseOffset = 0;  // where the part after the last '\' or '/' begins
    uint64_t written = 0;
    bool complete = false;  // the part's end was found and the file closed normally

    std::string_view BaseName() const { return std::string_view(name).substr(baseOffset); }
};

// Whether a base name may become a file in the target folder: not empty, not "." or "..", at most
// kStoredNameMax bytes, and without a control character or a separator. The name comes from the
// client and has been through a code page conversion, which can produce bytes the browser did not
// send; this is checked afterwards, on exactly the bytes that would be opened.
//
// '<', '>' and '"' are refused too: the listings print file names as they are, so such a name would
// put the uploader's markup into every visitor's page. Windows never allows them in a name either.
bool IsAcceptableUploadName(std::string_view baseName);

class MultipartSplitter {
public:
    // Reads the body from the descriptor's start (it is left positioned anywhere) and writes each
    // file part into folder, which is opened under the confinement; an existing regular file of the
    // same name is replaced. Each part is written aside and takes its name only when it is complete
    // and flushed, so a part that fails leaves the folder as it was. Returns the number of records.
    //
    // The split ends at the closing delimiter (what follows is the epilogue), at a part whose header
    // does not fit kPartHeaderBlock or names no file, at a part that is cut off (reported
    // incomplete), and when a target cannot be created (that part reported with nothing written). A
    // part whose name is not acceptable is read past without writing and reported incomplete; so is
    // the rest of a part whose write failed. The count of a failed part is what was written of it.
    size_t Split(int descriptor, std::string_view boundary, const std::string& folder,
                 const Confinement& confinement = {});

    const std::vector<UploadedFile>& Files() const { return m_files; }

private:
    enum class PartEnd { NextPart, LastPart, CutOff };

    // Copies one part's data from position onwards to target (or only reads past it when target is
    // not open) and moves position behind the delimiter.
    PartEnd CopyPart(int descriptor, uint64_t& position, std::string_view boundary, PendingUpload& target,
                     UploadedFile& record);

    std::vector<UploadedFile> m_files;
    std::vector<char> m_buffer;
};

}  // namespace sarvo
