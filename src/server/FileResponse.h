#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ConfinedOpen.h"
#include "server/HttpResponse.h"

namespace sarvo {

// A response whose body is a file, or one stretch of it, read while the response is sent so that the
// file is never held in memory. Without an open file it behaves as the plain in-memory response (the
// thumbnail list is composed on the same object).
class FileResponse : public HttpResponse {
public:
    FileResponse() = default;
    ~FileResponse() override;

    // Opens a file for reading and selects all of it. False when a file is already open, the path
    // cannot be opened under the confinement, or it names a directory.
    bool OpenFile(const std::string& path, const Confinement& confinement = {});
    bool HasOpenFile() const { return m_file >= 0; }
    uint64_t FileSize() const { return m_fileSize; }

    // Selects length bytes from first onwards as the body. False, with the selection unchanged, when no
    // file is open or the stretch does not lie inside the file.
    bool SelectRange(uint64_t first, uint64_t length);

    // The selected length while a file is open, so that Content-Length and TotalLength do not change
    // as the body is read.
    uint64_t BodyLength() const override;
    // A failed read counts as 0 bytes, which ends the body early.
    size_t ReadBody(char* dst, size_t n) override;
    bool FileBody(FileBodyStretch& out) const override;
    void SkipFileBody(uint64_t n) override;

private:
    int m_file = -1;
    uint64_t m_fileSize = 0;
    uint64_t m_selectedLength = 0;
    uint64_t m_offset = 0;     // next byte of the file to send
    uint64_t m_remaining = 0;  // bytes of the selection not yet sent
};

}  // namespace sarvo
