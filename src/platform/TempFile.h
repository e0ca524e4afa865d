#pragma once

#include <string>

// Scratch files for uploads and archives. A delete-on-close file has no name from the moment it is
// made, so nothing is left behind even when the process is killed; a kept file has a name another
// open can use (the Zip download reads the archive through a second descriptor while it is written).
namespace sarvo {

enum class TempFileMode { KeepOnClose, DeleteOnClose };

// "xyz" followed by six random characters, in TMPDIR or /tmp.
inline constexpr char kTempFilePrefix[] = "xyz";
inline constexpr char kDefaultTempFolder[] = "/tmp";

// Owns the descriptor (read and write, closed on exec); closing it is the last use of a
// delete-on-close file. Move-only: two owners would close one descriptor twice.
class TempFile {
public:
    TempFile() = default;
    TempFile(int descriptor, std::string path, TempFileMode mode);
    ~TempFile();
    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&& other) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool IsOpen() const { return m_descriptor >= 0; }
    explicit operator bool() const { return IsOpen(); }
    int Descriptor() const { return m_descriptor; }
    TempFileMode Mode() const { return m_mode; }
    // The file's path for KeepOnClose; "" for DeleteOnClose, whose file no longer has a name.
    const std::string& Path() const { return m_path; }

    // Closes the descriptor now instead of at destruction; a kept file stays on disk.
    void Close();

private:
    int m_descriptor = -1;
    std::string m_path;
    TempFileMode m_mode = TempFileMode::KeepOnClose;
};

// The folder new temporary files go to: TMPDIR when it is set, else /tmp; no trailing '/'.
std::string TempFolderPath();

// A new, empty file; one that is not open (IsOpen false) when it cannot be made.
TempFile CreateTempFile(TempFileMode mode);

}  // namespace sarvo
