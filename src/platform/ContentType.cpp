#include "platform/ContentType.h"

#include <fstream>
#include <sstream>

#include "platform/FileSystem.h"

namespace sarvo {
namespace {

struct BuiltInType {
    const char* extension;
    const char* type;
};

// The types a personal site serves most, so that pages, pictures and media still open in the browser
// on a machine without mime.types. Everything else downloads as unknown, which is safe.
constexpr BuiltInType kBuiltInTypes[] = {
    {"html", "text/html"},
    {"htm", "text/html"},
    {"txt", "text/plain"},
    {"text", "text/plain"},
    {"css", "text/css"},
    {"csv", "text/csv"},
    {"js", "text/javascript"},
    {"mjs", "text/javascript"},
    {"json", "application/json"},
    {"xml", "application/xml"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"jpe", "image/jpeg"},
    {"png", "image/png"},
    {"gif", "image/gif"},
    {"bmp", "image/bmp"},
    {"ico", "image/vnd.microsoft.icon"},
    {"svg", "image/svg+xml"},
    {"webp", "image/webp"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"pdf", "application/pdf"},
    {"rtf", "application/rtf"},
    {"zip", "application/zip"},
    {"gz", "application/gzip"},
    {"tar", "application/x-tar"},
    {"7z", "application/x-7z-compressed"},
    {"mp3", "audio/mpeg"},
    {"wav", "audio/x-wav"},
    {"ogg", "audio/ogg"},
    {"flac", "audio/flac"},
    {"m4a", "audio/mp4"},
    {"mp4", "video/mp4"},
    {"webm", "video/webm"},
    {"avi", "video/x-msvideo"},
    {"mov", "video/quicktime"},
    {"mpg", "video/mpeg"},
    {"mpeg", "video/mpeg"},
    {"doc", "application/msword"},
    {"xls", "application/vnd.ms-excel"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string LowerCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

// The blank-separated words of one line, up to a word that starts a comment.
template <typename Visit>
void ForEachWord(std::string_view line, Visit visit) {
    size_t position = 0;
    while (position < line.size()) {
        while (position < line.size() && IsBlank(line[position]))
            ++position;
        size_t start = position;
        while (position < line.size() && !IsBlank(line[position]))
            ++position;
        if (position == start)
            break;
        std::string_view word = line.substr(start, position - start);
        if (word[0] == '#')
            break;
        visit(word);
    }
}

}  // namespace

std::string ContentTypeKey(std::string_view fileName) {
    size_t dot = fileName.find('.');
    if (dot == std::string_view::npos)
        return std::string(1, '.').append(fileName);
    return std::string(fileName.substr(dot));
}

void ContentTypeTable::Add(std::string_view extension, std::string_view type) {
    if (!extension.empty() && extension[0] == '.')
        extension.remove_prefix(1);
    if (extension.empty() || type.size() + 1 > kContentTypeBufferSize)
        return;
    m_types.emplace(std::string(1, '.').append(LowerCase(extension)), std::string(type));
}

ContentTypeTable ContentTypeTable::FromText(std::string_view text) {
    ContentTypeTable table;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view type;
        ForEachWord(text.substr(start, end - start), [&](std::string_view word) {
            if (type.empty())
                type = word;
            else if (type.find('/') != std::string_view::npos)
                table.Add(word, type);
        });
        start = end + 1;
    }
    return table;
}

std::optional<ContentTypeTable> ContentTypeTable::FromFile(const std::string& path) {
    // A folder opens as a stream on Linux and then reads as nothing; it is no table.
    if (!IsExistingFile(path))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return FromText(text.str());
}

ContentTypeTable ContentTypeTable::BuiltIn() {
    ContentTypeTable table;
    for (const BuiltInType& entry : kBuiltInTypes)
        table.Add(entry.extension, entry.type);
    return table;
}

std::string ContentTypeTable::Find(std::string_view key) const {
    auto found = m_types.find(LowerCase(key));
    return found == m_types.end() ? std::string() : found->second;
}

std::string ContentTypeTable::Lookup(std::string_view fileName) const {
    std::string type = Find(ContentTypeKey(fileName));
    return type.empty() ? std::string(kUnknownContentType) : type;
}

const ContentTypeTable& SystemContentTypes() {
    // Read once: the file changes only when packages are installed, and parsing its 70 KB at each
    // request would cost more than most requests. A type installed meanwhile is seen after a restart.
    static const ContentTypeTable table = [] {
        std::optional<ContentTypeTable> system = ContentTypeTable::FromFile(kSystemMimeTypesPath);
        return system ? std::move(*system) : ContentTypeTable::BuiltIn();
    }();
    return table;
}

std::string LookupContentType(std::string_view fileName) {
    return SystemContentTypes().Lookup(fileName);
}

}  // namespace sarvo
