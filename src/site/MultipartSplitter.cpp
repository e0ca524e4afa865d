#include "site/MultipartSplitter.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "common/TextHolder.h"
#include "server/HttpRequest.h"

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

bool WriteAll(int descriptor, const char* data, size_t length, uint64_t& written) {
    while (length > 0) {
        ssize_t done = ::write(descriptor, data, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        length -= static_cast<size_t>(done);
        written += static_cast<uint64_t>(done);
    }
    return true;
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

int CreateTarget(int folder, std::string_view baseName) {
    const std::string name(baseName);
    // O_NOFOLLOW: a link of that name in the folder is not a way out of it. O_NONBLOCK: a fifo of
    // that name fails at once instead of waiting for a reader. Neither is a file to replace.
    int target = ::openat(folder, name.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (target < 0)
        return -1;
    struct stat info {};
    if (::fstat(target, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(target);
        return -1;
    }
    return target;
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
                                                       std::string_view boundary, int& target,
                                                       UploadedFile& record) {
    const size_t longest = boundary.size() + kDelimiterExtra;
    bool writeFailed = false;
    auto write = [&](const char* data, size_t length) {
        if (target < 0 || length == 0)
            return;
        if (!WriteAll(target, data, length, record.written)) {
            // Disk full, most likely: the rest of the part is read past so that the parts behind it
            // are still found.
            writeFailed = true;
            ::close(target);
            target = -1;
        }
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
                    if (target >= 0) {
                        record.complete = ::close(target) == 0 && !writeFailed;
                        target = -1;
                    }
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

size_t MultipartSplitter::Split(int descriptor, std::string_view boundary, const std::string& folder) {
    m_files.clear();
    if (descriptor < 0 || boundary.size() > kMaxBoundaryLength)
        return 0;
    m_buffer.resize(kPartCopyBlock);
    const int folderDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);

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

        int target = -1;
        if (IsAcceptableUploadName(record.BaseName())) {
            target = folderDescriptor < 0 ? -1 : CreateTarget(folderDescriptor, record.BaseName());
            if (target < 0) {
                m_files.push_back(std::move(record));
                break;
            }
        }
        const PartEnd end = CopyPart(descriptor, position, boundary, target, record);
        if (target >= 0)
            ::close(target);
        m_files.push_back(std::move(record));
        if (end != PartEnd::NextPart)
            break;
    }
    if (folderDescriptor >= 0)
        ::close(folderDescriptor);
    return m_files.size();
}

}  // namespace sarvo
