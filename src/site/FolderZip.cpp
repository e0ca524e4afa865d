#include "site/FolderZip.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>

#include "common/Format.h"
#include "common/Text.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/InternetTime.h"
#include "platform/TempFile.h"
#include "platform/WinsockError.h"
#include "server/Chunk.h"
#include "server/ClientActivity.h"
#include "server/ConnectionContext.h"
#include "server/Dispatch.h"
#include "server/PathResolver.h"
#include "server/SendResponse.h"
#include "server/ServerIdentity.h"
#include "server/StreamSender.h"
#include "site/ZipWriter.h"
#include "store/Folders.h"

namespace sarvo {
namespace {

ssize_t ReadArchive(int descriptor, char* buffer, size_t length, uint64_t offset) {
    for (;;) {
        ssize_t got = ::pread(descriptor, buffer, length, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

// Streams the archive as the writer makes it final, then the last chunk. 0, or the error that ended
// the stream.
int StreamArchive(ConnectionContext& connection, StreamSender& sender, const ZipJob& job, int archive,
                  char* buffer) {
    uint64_t position = 0;
    for (;;) {
        if (int result = sender.Step(); result < 0)
            return result;
        if (connection.SendFill() >= kZipSendBlock)
            continue;
        // Taken before the read: when the writer was done already, a read that finds nothing more
        // means the archive has been sent whole.
        const ZipJob::State state = job.Current();
        const size_t ready =
            static_cast<size_t>(std::min<uint64_t>(kZipSendBlock, state.finalLength - position));
        // A failed read counts as nothing read.
        const ssize_t got = ready > 0 ? ReadArchive(archive, buffer, ready, position) : 0;
        if (got > 0) {
            QueueChunk(connection, buffer, static_cast<size_t>(got));
            position += static_cast<uint64_t>(got);
            continue;
        }
        if (connection.SendFill() > 0)
            continue;
        if (state.done)
            break;
        job.WaitForMore(position, std::chrono::milliseconds(kZipIdleCheckMs));
        if (job.Current().finalLength == position && connection.IsPeerGone() < 0)
            return -kWsaEConnReset;
    }
    connection.QueueSendText(kLastChunk);
    return sender.Drain();
}

// The bytes RFC 8187 lets stand for themselves in an extended value; every other is percent-encoded.
bool IsAttrChar(unsigned char c) {
    constexpr std::string_view kMarks = "!#$&+-.^_`|~";
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           kMarks.find(static_cast<char>(c)) != std::string_view::npos;
}

// "; filename*=UTF-8''<name>.zip" (RFC 6266, RFC 8187) for a name that is not plain ASCII, which a
// quoted filename cannot carry in a charset the client knows; "" for an ASCII name.
std::string ExtendedFileName(std::string_view folderName) {
    if (IsPlainAscii(folderName))
        return std::string();
    std::string out = "; filename*=UTF-8''";
    for (unsigned char c : AnsiTextToUtf8(folderName) + ".zip") {
        if (IsAttrChar(c))
            out += static_cast<char>(c);
        else
            out += Format("%%%02X", c);
    }
    return out;
}

}  // namespace

std::string_view ZipFolderName(std::string_view diskPath) {
    const size_t separator = diskPath.find_last_of("/\\");
    return separator == std::string_view::npos ? diskPath : diskPath.substr(separator + 1);
}

std::string ZipStreamHead(std::string_view folderName, std::string_view date) {
    return Format(
        "HTTP/1.1 200 OK\r\nContent-Type: application/x-zip-compressed\r\nServer: %s\r\nTransfer-Encoding: "
        "chunked\r\nDate: %.*s\r\nContent-Disposition: attachment; filename=\"%.*s.zip\"%s\r\n\r\n",
        ServerIdentification().c_str(), static_cast<int>(date.size()), date.data(),
        static_cast<int>(folderName.size()), folderName.data(), ExtendedFileName(folderName).c_str());
}

int SendFolderZip(ConnectionContext& connection, const ResolvedPath& path) {
    if (!IsExistingDirectory(path.diskPath))
        return SendErrorPage(connection, kStatusNotFound);
    const std::string head =
        ZipStreamHead(ZipFolderName(path.diskPath), InternetTimeFromSystemTime(GetSystemTime()));
    // A link checker asking for the header must not make the server compress the whole folder.
    if (connection.request.Method() == kMethodHead)
        return SendStreamHead(connection, head);

    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kZipSendBlock]);
    // The archive has no name from the start: two descriptors are not needed when every read and
    // write gives its own offset, and nothing can be left behind in the temporary folder, however
    // the process ends.
    TempFile archive = CreateTempFile(TempFileMode::DeleteOnClose);
    if (!buffer || !archive)
        return SendErrorPage(connection, kStatusNotFound);

    auto job = std::make_shared<ZipJob>();
    job->path = path.diskPath;
    job->descriptor = archive.Descriptor();
    job->confinement = path.confinement;
    job->subfolders = CanBrowseSubfolders(path.firstSegment) ? ZipSubfolders::Include : ZipSubfolders::Skip;

    SendProgress progress;
    progress.Bind(connection.Handle());
    progress.Start(0);
    StreamSender sender(connection, progress, kZipSendStepMs);
    connection.ClearSend();
    connection.QueueSendText(head);
    if (int result = sender.Drain(); result < 0)
        return result;

    if (!StartZipWriter(job)) {
        // Without a writer the archive stays empty: the stream ends at once, and normally.
        connection.QueueSendText(kLastChunk);
        return sender.Drain();
    }
    const int result = StreamArchive(connection, sender, *job, archive.Descriptor(), buffer.get());
    // The writer holds the archive's descriptor until it is done, so the file is closed only after.
    job->RequestAbort();
    job->WaitUntilDone();
    return result;
}

}  // namespace sarvo
