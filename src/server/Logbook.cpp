#include "server/Logbook.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "common/Format.h"
#include "common/Text.h"
#include "platform/SpecialFolders.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

// Records carry whole request headers, Basic credentials included: only the owner may read them.
constexpr mode_t kLogbookMode = 0600;

// Guards the descriptor and the path it was opened for, and keeps records whole: a record is written
// while the lock is held, so no other record and no reopening can come between its bytes.
std::mutex g_logbookLock;
int g_logbook = -1;
std::string g_openPath;

std::string_view WithoutTrailingLineEnds(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// Whether the open descriptor still is the file at path: a file deleted or replaced behind the
// program's back must not swallow the records that follow.
bool IsStillTheFile(int descriptor, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(descriptor, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

int OpenLogbookLocked() {
    const std::string path = LogbookPath();
    if (g_logbook >= 0 && path == g_openPath && IsStillTheFile(g_logbook, path))
        return g_logbook;
    // O_APPEND puts every write at the end of the file, also after the viewer truncated it.
    int opened = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kLogbookMode);
    if (opened < 0)
        return g_logbook >= 0 && path == g_openPath ? g_logbook : -1;
    if (g_logbook < 0) {
        g_logbook = opened;
    } else {
        // Moved onto the old number (dup3 keeps O_CLOEXEC), which holders of the descriptor keep using.
        while (::dup3(opened, g_logbook, O_CLOEXEC) < 0 && errno == EINTR) {
        }
        ::close(opened);
    }
    g_openPath = path;
    return g_logbook;
}

bool WriteWhole(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

std::string LogbookPath() {
    std::string path = GetMyDocumentsPath() + "/" + kLogbookFileName;
    NormalizePath(path);
    return path;
}

int OpenLogbook() {
    std::lock_guard<std::mutex> hold(g_logbookLock);
    return OpenLogbookLocked();
}

std::string ComposeLogRecord(const SystemTime& localTime, const sockaddr_in& peer, std::string_view message,
                             std::string_view header) {
    const auto* address = reinterpret_cast<const unsigned char*>(&peer.sin_addr.s_addr);
    std::string record = Format("Time: %04u-%02u-%02u %02u:%02u:%02u\r\n", localTime.year, localTime.month,
                                localTime.day, localTime.hour, localTime.minute, localTime.second);
    record += Format("Addr: %u.%u.%u.%u:%u\r\n", address[0], address[1], address[2], address[3],
                     static_cast<unsigned>(ntohs(peer.sin_port)));
    std::string_view headerText = WithoutTrailingLineEnds(header);
    if (!headerText.empty()) {
        record += headerText;
        record += "\r\n";
    }
    if (!message.empty()) {
        record += "\r\n";
        record += WithoutTrailingLineEnds(message);
        record += "\r\n";
    }
    record.append(kLogSeparatorLength, '=');
    record += "\r\n";
    return record;
}

bool WriteLogRecord(const sockaddr_in& peer, bool isLocalClient, std::string_view message,
                    std::string_view header) {
    if (!IsLogEnabled())
        return false;
    if (isLocalClient && !LogSelf())
        return false;
    const std::string record = ComposeLogRecord(GetLocalTime(), peer, message, header);
    std::lock_guard<std::mutex> hold(g_logbookLock);
    int descriptor = OpenLogbookLocked();
    return descriptor >= 0 && WriteWhole(descriptor, record);
}

}  // namespace sarvo
