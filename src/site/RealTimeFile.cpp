#include "site/RealTimeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <new>
#include <optional>

#include "common/Format.h"
#include "platform/ContentType.h"
#include "platform/FileSystem.h"
#include "platform/FindData.h"
#include "platform/InternetTime.h"
#include "platform/Socket.h"
#include "platform/WinsockError.h"
#include "server/Chunk.h"
#include "server/ClientActivity.h"
#include "server/ConnectionContext.h"
#include "server/Dispatch.h"
#include "server/PathResolver.h"
#include "server/SendResponse.h"
#include "server/ServerIdentity.h"
#include "server/StreamSender.h"
#include "site/FileGrowthWatch.h"
#include "store/PublishedFiles.h"

namespace sarvo {
namespace {

using Clock = std::chrono::steady_clock;

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path)
        : m_descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool IsOpen() const { return m_descriptor >= 0; }
    int Descriptor() const { return m_descriptor; }

private:
    int m_descriptor;
};

std::string StreamHead(const std::string& contentType) {
    return Format(
        "HTTP/1.1 200 OK\r\nContent-Type: %s\r\nServer: %s\r\nTransfer-Encoding: chunked\r\nDate: %s\r\n\r\n",
        contentType.c_str(), ServerIdentification().c_str(),
        InternetTimeFromSystemTime(GetSystemTime()).c_str());
}

// The newest matching file of the record's folder, or "" when none matches.
std::string NewestMatch(const PublishedFileRecord& record) {
    const size_t separator = record.path.find_last_of("/\\");
    const std::string folder =
        separator == std::string::npos ? std::string() : record.path.substr(0, separator);
    std::string pattern = record.searchPattern;
    if (pattern.empty()) {
        const size_t dot = record.path.rfind('.');
        pattern = "*." + (dot == std::string::npos ? std::string() : record.path.substr(dot + 1));
    }
    DirectoryEnumerator matches(folder + "/" + pattern);
    FindData entry;
    std::optional<FindData> newest;
    while (matches.Next(entry)) {
        if (entry.attributes & kFileAttributeDirectory)
            continue;
        // Strictly newer only: of equal times the first one found stays.
        if (!newest || entry.lastWriteTime > newest->lastWriteTime)
            newest = entry;
    }
    return newest ? folder + "/" + newest->name : std::string();
}

constexpr Clock::duration kRecheckAfter = std::chrono::milliseconds(kRealTimeRecheckMs);

// Long enough for the quiet time to pass the recheck point, counted in whole milliseconds.
int IdleWaitMs(Clock::duration idle) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(kRecheckAfter - idle).count();
    return static_cast<int>(left < 0 ? 0 : left) + 1;
}

}  // namespace

bool ResolveRealTimePath(std::string_view publishedName, std::string& out) {
    out.clear();
    std::optional<PublishedFileRecord> record = GetPublishedFile(publishedName);
    if (!record || record->realTime == 0)
        return false;
    if (record->useNewest != 0)
        out = NewestMatch(*record);
    if (out.empty())
        out = record->path;
    return !out.empty() && IsExistingFile(out);
}

int SendRealTimeFile(ConnectionContext& connection, const ResolvedPath& path) {
    std::string filePath;
    if (!ResolveRealTimePath(path.firstSegment, filePath))
        return SendErrorPage(connection, kStatusNotFound);
    ReadOnlyFile file(filePath);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kRealTimeBlock]);
    if (!file.IsOpen() || !buffer)
        return SendErrorPage(connection, kStatusNotFound);

    // Watching starts before the end is taken, so no growth after that point goes unnoticed. Both come
    // before the head is sent: whatever is appended once the visitor sees the stream begin is sent.
    FileGrowthWatch watch(filePath);
    ::lseek(file.Descriptor(), 0, SEEK_END);

    // The type follows the published file's own name, also when the stream reads a newer file.
    const std::string contentType = LookupContentType(path.findData.name);
    SendProgress progress;
    progress.Bind(connection.Handle());
    progress.Start(0);
    // Appended bytes are sent as soon as they are read; waiting to fill a segment would only delay
    // them.
    SetNoDelay(connection.Handle());
    connection.ClearSend();
    connection.QueueSendText(StreamHead(contentType));
    StreamSender sender(connection, progress, kRealTimeSendStepMs);
    if (int result = sender.Drain(); result < 0)
        return result;

    // Quiet time, summed over the waits and not reset by a read, as the stream has always counted it.
    Clock::duration idle{};
    for (;;) {
        if (int result = sender.Step(); result < 0)
            return result;
        if (connection.SendFill() >= kRealTimeBlock)
            continue;
        // A file that shrank reads nothing here until it has grown past the position reached.
        ssize_t got = ::read(file.Descriptor(), buffer.get(), kRealTimeBlock);
        if (got > 0) {
            QueueChunk(connection, buffer.get(), static_cast<size_t>(got));
            continue;
        }
        if (connection.SendFill() > 0)
            continue;

        const Clock::time_point start = Clock::now();
        if (watch.Wait(connection.Handle(), IdleWaitMs(idle)) == FileGrowthWatch::Wake::PeerGone)
            return -kWsaEConnReset;
        idle += Clock::now() - start;
        if (idle > kRecheckAfter) {
            // The owner may have removed the mark or the whole entry meanwhile.
            if (!IsRealTimeFile(path.firstSegment))
                break;
            idle = Clock::duration{};
        }
    }
    connection.QueueSendText(kLastChunk);
    return sender.Drain();
}

}  // namespace sarvo
