#include "server/LogbookOwner.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "server/Logbook.h"

namespace sarvo {
namespace {

constexpr std::string_view kRecordEndMark = "=\r\n";
constexpr size_t kReadStep = 64 * 1024;

std::string SeparatorLine() {
    return std::string(kLogSeparatorLength, '=') + "\r\n";
}

// Where the record holding the occurrence at hit begins.
size_t RecordStart(std::string_view log, size_t hit) {
    if (hit < kRecordEndMark.size())
        return 0;
    const size_t mark = log.rfind(kRecordEndMark, hit - kRecordEndMark.size());
    if (mark == std::string_view::npos)
        return 0;
    size_t start = mark + kRecordEndMark.size();
    while (start < hit && (log[start] == '\r' || log[start] == '\n'))
        ++start;
    return start;
}

}  // namespace

bool ReadLogbook(std::string& out) {
    const int descriptor = ::open(LogbookPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct stat facts {};
    // Read straight into a buffer of the size seen now, then on to the end: the server may append
    // meanwhile, and the file may have been emptied.
    std::string text(
        ::fstat(descriptor, &facts) == 0 && facts.st_size > 0 ? static_cast<size_t>(facts.st_size) : 0, '\0');
    size_t filled = 0;
    bool failed = false;
    for (;;) {
        if (filled == text.size())
            text.resize(text.size() + kReadStep);
        const ssize_t count = ::read(descriptor, text.data() + filled, text.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            failed = count < 0;
            break;
        }
        filled += static_cast<size_t>(count);
    }
    ::close(descriptor);
    if (failed)
        return false;
    text.resize(filled);
    out = std::move(text);
    return true;
}

std::string ListLogRecords(std::string_view log, std::string_view text) {
    std::string records;
    if (text.empty())
        return records;
    const std::string separator = SeparatorLine();
    // The logbook is large and the text short and often repeated: a skipping search beats a byte scan.
    const std::boyer_moore_horspool_searcher searcher(text.begin(), text.end());
    size_t from = 0;
    while (from < log.size()) {
        const auto found = std::search(log.begin() + from, log.end(), searcher);
        if (found == log.end())
            break;
        const size_t hit = static_cast<size_t>(found - log.begin());
        const size_t start = RecordStart(log, hit);
        // A separator that holds the occurrence's end counts as the one that follows it.
        const size_t occurrenceEnd = hit + text.size();
        const size_t separatorFrom =
            std::max(start, occurrenceEnd > separator.size() ? occurrenceEnd - separator.size() : size_t{0});
        const size_t separatorAt = log.find(separator, separatorFrom);
        if (separatorAt == std::string_view::npos)
            break;
        const size_t end = separatorAt + separator.size();
        records.append(log.substr(start, end - start));
        from = end;
    }
    return records;
}

LogbookState GetLogbookState() {
    const int descriptor = OpenLogbook();
    struct stat facts {};
    if (descriptor < 0 || ::fstat(descriptor, &facts) != 0)
        return LogbookState::Unavailable;
    return facts.st_size == 0 ? LogbookState::Empty : LogbookState::HasRecords;
}

bool ClearLogbook() {
    const int descriptor = OpenLogbook();
    return descriptor >= 0 && ::ftruncate(descriptor, 0) == 0;
}

}  // namespace sarvo
