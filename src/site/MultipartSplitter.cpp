#include "site/MultipartSplitter.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "common/TextHolder.h"
#include "server/HttpRequest.h"
#include "site/PendingUpload.h"

namespace sarvo {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
// A delimiter is CR LF "--" boundary, then "--" CR LF after the last part or CR LF before another.
constexpr std::string_view kDelimiterStart = "\r\n--";
constexpr std::string_view kLastPartEnd = "--\r\n";
constexpr std::string_view kNextPartEnd = "\r\n";
// CR LF "--" in front of the boundary and "--" CR LF behind it: the longest delimiter.
constexpr size_t kDelimiterExtra = 8;

// Reads until length bytes or the end of the file; the count, or -1 on a read error.
ssize_t ReadFullAt(int descriptor, char* data, size_t length, uint64_t offset) {
    size_t total = 0;
    while (total < length) {
        ssize_t got = ::pread(descriptor, data + total, length - total, static_cast<off_t>(offset + total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// True when text (the bytes up to the end of a read) could be the start of a delimiter that the next
// read completes.
bool IsDelimiterPrefix(std::string_view text, std::string_view boundary) {
    size_t matched = 0;
    for (std::string_view piece : {kDelimiterStart, boundary}) {
        const size_t n = std::min(piece.size(), text.size() - matched);
        if (text.substr(matched, n) != piece.substr(0, n))
            return false;
        matched += n;
        if (matched == text.size())
            return true;
    }
    const std::string_view rest = text.substr(matched);
    return StartsWith(kLastPartEnd, rest) || StartsWith(kNextPartEnd, rest);
}

UploadedFile MakeRecord(std::string_view value) {
    UploadedFile record;
    Utf8ToAnsi converted(value);
    const std::string& name = converted.Str();
    const size_t separator = name.find_last_of("\\/");
    const size_t base = separator == std::string::npos ? 0 : separator + 1;
    if (name.size() <= kUploadNameMax) {
        record.name = name;
        record.baseOffset = base;
    } else {
        record.name = name.substr(base, kUploadNameMax);
    }
    return record;
}

}  // namespace

bool IsAcceptableUploadName(std::string_view baseName) {
    if (baseName.empty() || baseName == "." || baseName == ".." || baseName.size() > kStoredNameMax)
        return false;
    for (char c : baseName) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127 || c == '/' || c == '\\' || c == '<' || c == '>' || c == '"')
            return false;
    }
    return true;
}

MultipartSplitter::PartEnd MultipartSplitter::CopyPart(int descriptor, uint64_t& position,
                                                       std::string_view boundary, PendingUpload& target,
                                                       UploadedFile& record) {
    const size_t longest = boundary.size() + kDelimiterExtra;
    // A write that fails (disk full, most likely) discards the file; the rest of the part is read past
    // so that the parts behind it are still found.
    auto write = [&](const char* data, size_t length) {
        if (target.IsOpen() && length > 0)
            target.Write(data, length, record.written);
    };

    for (;;) {
        const ssize_t got = ReadFullAt(descriptor, m_buffer.data(), kPartCopyBlock, position);
        if (got < 0 || static_cast<size_t>(got) < longest)
            return PartEnd::CutOff;
        const std::string_view block(m_buffer.data(), static_cast<size_t>(got));

        size_t search = 0;
        for (;;) {
            const size_t at = block.find(kDelimiterStart, search);
            if (at == std::string_view::npos)
                break;
            const std::string_view after = block.substr(at + kDelimiterStart.size());
            if (StartsWith(after, boundary)) {
                const std::string_view end = after.substr(boundary.size());
                const bool last = StartsWith(end, kLastPartEnd);
                if (last || StartsWith(end, kNextPartEnd)) {
                    write(block.data(), at);
                    // After another part's delimiter the position stays on its "--", so the next part
                    // begins with its boundary line, as the first one does.
                    position += last ? at + longest : at + kNextPartEnd.size();
                    return last ? PartEnd::LastPart : PartEnd::NextPart;
                }
            }
            search = at + 1;
        }

        // No whole delimiter in this block. One may begin in its last longest - 1 bytes and end in
        // the next read: keep back the earliest place where the rest of the block could start one.
        // The first byte is never kept back (the block holds at least longest bytes), so every pass
        // moves on.
        size_t keep = block.size();
        for (size_t at = block.size() - (longest - 1); at < block.size(); ++at) {
            if (block[at] == '\r' && IsDelimiterPrefix(block.substr(at), boundary)) {
                keep = at;
                break;
            }
        }
        write(block.data(), keep);
        position += keep;
    }
}

size_t MultipartSplitter::Split(int descriptor, std::string_view boundary, const std::string& folder,
                                const Confinement& confinement) {
    m_files.clear();
    if (descriptor < 0 || boundary.size() > kMaxBoundaryLength)
        return 0;
    m_buffer.resize(kPartCopyBlock);
    const int folderDescriptor = OpenConfined(confinement, folder, O_RDONLY | O_DIRECTORY);

    uint64_t position = 0;
    for (;;) {
        const ssize_t got = ReadFullAt(descriptor, m_buffer.data(), kPartHeaderBlock, position);
        if (got < 0 || static_cast<size_t>(got) < boundary.size() + 4)
            break;
        const std::string_view block(m_buffer.data(), static_cast<size_t>(got));
        const size_t headerEnd = block.find(kHeaderEnd);
        if (headerEnd == std::string_view::npos)
            break;
        // The boundary line stands where a request line would; only the header lines are used.
        HttpRequest partHeader;
        partHeader.Parse(block.substr(0, headerEnd + kHeaderEnd.size()));
        std::string_view value;
        std::string_view bareName;
        if (!partHeader.UploadFileName(value, bareName))
            break;
        UploadedFile record = MakeRecord(value);
        position += headerEnd + kHeaderEnd.size();

        PendingUpload target;
        const std::string baseName(record.BaseName());
        if (IsAcceptableUploadName(baseName)) {
            if (folderDescriptor < 0 || !IsReplaceableByUpload(folderDescriptor, baseName) ||
                !target.Create(folderDescriptor)) {
                m_files.push_back(std::move(record));
                break;
            }
        }
        const PartEnd end = CopyPart(descriptor, position, boundary, target, record);
        // Only a whole part takes its name; anything else leaves the folder as it was.
        record.complete = end != PartEnd::CutOff && target.Commit(baseName);
        target.Discard();
        m_files.push_back(std::move(record));
        if (end != PartEnd::NextPart)
            break;
    }
    if (folderDescriptor >= 0)
        ::close(folderDescriptor);
    return m_files.size();
}

}  // namespace sarvo
