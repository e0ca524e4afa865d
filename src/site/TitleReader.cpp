#include "site/TitleReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Text.h"

namespace sarvo {
namespace {

constexpr std::string_view kOpenTag = "<title>";
constexpr std::string_view kCloseTag = "</title>";
constexpr std::string_view kId3Marker = "tag";

enum class TitleSource { None, Mp3Tag, Page };

TitleSource SourceOf(std::string_view path) {
    // The extension runs from the last '.' of the whole path, as the listing has always taken it.
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos)
        return TitleSource::None;
    std::string_view extension = path.substr(dot);
    if (EqualsIgnoreCase(extension, ".mp3"))
        return TitleSource::Mp3Tag;
    if (EqualsIgnoreCase(extension, ".htm") || EqualsIgnoreCase(extension, ".html"))
        return TitleSource::Page;
    return TitleSource::None;
}

// Reads up to length bytes at offset, retrying interrupted calls; returns the count read.
size_t ReadAt(int descriptor, char* buffer, size_t length, off_t offset) {
    size_t done = 0;
    while (done < length) {
        ssize_t got = ::pread(descriptor, buffer + done, length - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

// Cuts a fixed-size text field at its first NUL.
std::string_view UpToNul(std::string_view text) {
    size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

size_t FindIgnoreCase(std::string_view text, std::string_view word, size_t from) {
    if (word.size() > text.size())
        return std::string_view::npos;
    for (size_t at = from; at + word.size() <= text.size(); ++at) {
        if (EqualsIgnoreCase(text.substr(at, word.size()), word))
            return at;
    }
    return std::string_view::npos;
}

std::string Mp3TitleOf(int descriptor, uint64_t size) {
    for (size_t offset : {kId3TagOffset, kId3ShiftedTagOffset}) {
        if (size < offset)
            continue;
        char field[3 + kId3TitleLength] = {};
        const off_t at = static_cast<off_t>(size - offset);
        if (ReadAt(descriptor, field, 3, at) != 3 ||
            !EqualsIgnoreCase(std::string_view(field, 3), kId3Marker))
            continue;
        size_t got = ReadAt(descriptor, field + 3, kId3TitleLength, at + 3);
        std::string title(UpToNul(std::string_view(field + 3, got)));
        while (!title.empty() && title.back() == ' ')
            title.pop_back();
        return title;
    }
    return std::string();
}

std::string PageTitleFromFile(int descriptor) {
    std::string text(kTitleReadLimit, '\0');
    text.resize(ReadAt(descriptor, text.data(), text.size(), 0));
    return PageTitleOf(text);
}

}  // namespace

std::string PageTitleOf(std::string_view text) {
    size_t open = FindIgnoreCase(text, kOpenTag, 0);
    if (open == std::string_view::npos)
        return std::string();
    const size_t start = open + kOpenTag.size();
    size_t close = FindIgnoreCase(text, kCloseTag, start);
    std::string_view title =
        text.substr(start, close == std::string_view::npos ? std::string_view::npos : close - start);
    title = UpToNul(title.substr(0, kPageTitleMax));
    return std::string(title);
}

TitleReader::TitleReader(std::string_view path) {
    Read(std::string(path), Confinement{});
}

TitleReader::TitleReader(std::string_view folder, std::string_view fileName, const Confinement& confinement) {
    // The joined path's extension is the name's whenever the name holds a '.', and no title source
    // otherwise, so a listing decides from the name alone before it builds a path for every row.
    if (fileName.find('.') == std::string_view::npos || SourceOf(fileName) == TitleSource::None)
        return;
    std::string path;
    path.reserve(folder.size() + 1 + fileName.size());
    path.append(folder).append(1, '/').append(fileName);
    NormalizePath(path);
    Read(path, confinement);
}

void TitleReader::Read(const std::string& path, const Confinement& confinement) {
    // The extension decides before anything is opened: a listing asks for every file's title, and most
    // files have none to give.
    const TitleSource source = SourceOf(path);
    if (source == TitleSource::None)
        return;
    int descriptor = OpenConfined(confinement, path, O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0)
        return;
    struct stat info {};
    // A fifo or a device with a page's name would block the listing or never end.
    if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
        m_title = source == TitleSource::Mp3Tag ? Mp3TitleOf(descriptor, static_cast<uint64_t>(info.st_size))
                                                : PageTitleFromFile(descriptor);
    }
    ::close(descriptor);
}

}  // namespace sarvo
