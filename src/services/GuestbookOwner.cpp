#include "services/GuestbookOwner.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "common/Format.h"
#include "platform/FileSystem.h"
#include "platform/FindData.h"
#include "services/GuestbookFolder.h"

namespace sarvo {
namespace {

constexpr std::string_view kMessageExtension = ".txt";

std::string SenderOf(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

bool ReadPreview(const std::string& path, std::string& out) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    char buffer[kGuestbookPreviewBytes];
    const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
    ::close(descriptor);
    if (count < 0)
        return false;
    out.assign(buffer, static_cast<size_t>(count));
    return true;
}

// A name that stays inside the folder: no separator, not "." or "..".
bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

}  // namespace

std::string GuestbookMessageFolder() {
    return GuestbookFolder(FolderCreation::Off);
}

std::vector<GuestbookMessageInfo> ListGuestbookMessages() {
    const std::string folder = GuestbookMessageFolder();
    std::vector<GuestbookMessageInfo> messages;
    DirectoryEnumerator files(folder + "/*" + std::string(kMessageExtension));
    FindData entry;
    while (files.Next(entry)) {
        if (entry.attributes & kFileAttributeDirectory)
            continue;
        GuestbookMessageInfo message;
        if (!ReadPreview(folder + "/" + entry.name, message.preview))
            continue;
        message.fileName = entry.name;
        message.sender = SenderOf(entry.name);
        message.lastWriteTime = entry.lastWriteTime;
        messages.push_back(std::move(message));
    }
    // Names first, so that messages of the same moment keep one order from one listing to the next.
    std::sort(messages.begin(), messages.end(),
              [](const auto& a, const auto& b) { return a.fileName < b.fileName; });
    std::stable_sort(messages.begin(), messages.end(),
                     [](const auto& a, const auto& b) { return a.lastWriteTime > b.lastWriteTime; });
    return messages;
}

std::string GuestbookMessagePath(std::string_view name) {
    if (!IsPlainFileName(name))
        return {};
    std::string fileName(name);
    if (!fileName.ends_with(kMessageExtension))
        fileName += kMessageExtension;
    std::string path = GuestbookMessageFolder() + "/" + fileName;
    return IsExistingFile(path) ? path : std::string();
}

bool DeleteGuestbookMessage(std::string_view name) {
    const std::string path = GuestbookMessagePath(name);
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

std::string FormatGuestbookTime(FileTime utc) {
    FileTime local;
    SystemTime time;
    if (!FileTimeToLocalFileTime(utc, local) || !FileTimeToSystemTime(local, time))
        return {};
    return Format("%04u-%02u-%02u %02u:%02u:%02u", time.year, time.month, time.day, time.hour, time.minute,
                  time.second);
}

}  // namespace sarvo
