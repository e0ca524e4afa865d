#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One uploaded file while it is being written: a hidden file in the target folder that takes the
// final name only once it is complete and on disk. Until then a same-named file stays as it was, and
// an upload that fails, is cut off or is killed leaves nothing behind.
namespace sarvo {

class PendingUpload {
public:
    PendingUpload() = default;
    ~PendingUpload() { Discard(); }
    PendingUpload(const PendingUpload&) = delete;
    PendingUpload& operator=(const PendingUpload&) = delete;

    // Starts a file in the open folder: a nameless one where the file system offers it (nothing is
    // left of it when the process dies), otherwise one with a hidden name. False when neither can be
    // created.
    bool Create(int folder);
    bool IsOpen() const { return m_file >= 0; }

    // Appends the bytes and adds what was written to written. A failed write (a full disk, most
    // likely) discards the file, so every later write and the commit fail too.
    bool Write(const char* data, size_t length, uint64_t& written);

    // Flushes the file to disk and renames it over name in the folder. False, with the file
    // discarded and name untouched, when any step fails.
    bool Commit(const std::string& name);

    // Drops the file; nothing of it remains in the folder.
    void Discard();

private:
    bool GiveHiddenName();

    int m_folder = -1;
    int m_file = -1;
    std::string m_hiddenName;  // "" while the file has no name
};

// Whether name in the folder may be replaced by an upload: nothing of that name, or a regular file.
// A link is not followed out of the folder, nor is a folder, a fifo or a device replaced.
bool IsReplaceableByUpload(int folder, const std::string& name);

}  // namespace sarvo
