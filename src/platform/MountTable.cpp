#include "platform/MountTable.h"

#include <sys/sysmacros.h>

#include <fstream>
#include <sstream>

namespace sarvo {
namespace {

// Fields before the optional ones: id, parent id, major:minor, root, mount point, options.
constexpr size_t kFixedFieldCount = 6;
constexpr size_t kMountPointField = 4;
constexpr size_t kOptionsField = 5;
constexpr char kOptionalFieldsEnd[] = "-";

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t position = 0;
    while (position < line.size()) {
        while (position < line.size() && line[position] == ' ')
            ++position;
        size_t start = position;
        while (position < line.size() && line[position] != ' ' && line[position] != '\n')
            ++position;
        if (position > start)
            fields.push_back(line.substr(start, position - start));
        if (position < line.size() && line[position] == '\n')
            break;
    }
    return fields;
}

bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// The kernel escapes blank, tab, newline and backslash as a backslash and three octal digits.
std::string DecodeOctalEscapes(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && IsOctalDigit(text[i + 1]) &&
            IsOctalDigit(text[i + 2]) && IsOctalDigit(text[i + 3])) {
            int value = (text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0');
            result.push_back(static_cast<char>(value));
            i += 3;
        } else {
            result.push_back(text[i]);
        }
    }
    return result;
}

bool ParseDeviceNumber(std::string_view text, uint64_t& out) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size())
        return false;
    unsigned long long major = 0;
    unsigned long long minor = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == colon)
            continue;
        char c = text[i];
        if (c < '0' || c > '9')
            return false;
        unsigned long long& part = i < colon ? major : minor;
        part = part * 10 + static_cast<unsigned>(c - '0');
    }
    out = makedev(static_cast<unsigned>(major), static_cast<unsigned>(minor));
    return true;
}

bool HasOption(std::string_view options, std::string_view wanted) {
    size_t start = 0;
    while (start <= options.size()) {
        size_t comma = options.find(',', start);
        size_t end = comma == std::string_view::npos ? options.size() : comma;
        if (options.substr(start, end - start) == wanted)
            return true;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return false;
}

bool IsWholeComponentPrefix(std::string_view mountPoint, std::string_view path) {
    if (mountPoint == "/")
        return !path.empty() && path[0] == '/';
    if (path.size() < mountPoint.size() || path.compare(0, mountPoint.size(), mountPoint) != 0)
        return false;
    return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

}  // namespace

bool ParseMountInfoLine(std::string_view line, MountEntry& out) {
    std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() < kFixedFieldCount + 3)
        return false;
    size_t separator = kFixedFieldCount;
    while (separator < fields.size() && fields[separator] != kOptionalFieldsEnd)
        ++separator;
    // After the separator come the file system type, the source and the super options; the last are
    // not needed.
    if (separator + 2 >= fields.size())
        return false;
    MountEntry entry;
    if (!ParseDeviceNumber(fields[2], entry.deviceId))
        return false;
    entry.mountPoint = DecodeOctalEscapes(fields[kMountPointField]);
    entry.readOnly = HasOption(fields[kOptionsField], "ro");
    entry.fileSystemType = DecodeOctalEscapes(fields[separator + 1]);
    entry.source = DecodeOctalEscapes(fields[separator + 2]);
    if (entry.mountPoint.empty() || entry.mountPoint[0] != '/')
        return false;
    out = std::move(entry);
    return true;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> table;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        MountEntry entry;
        if (ParseMountInfoLine(text.substr(start, end - start), entry))
            table.push_back(std::move(entry));
        start = end + 1;
    }
    return table;
}

std::vector<MountEntry> ReadMountTable() {
    std::ifstream in(kMountInfoPath);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseMountInfo(text.str());
}

const MountEntry* FindMountFor(const std::vector<MountEntry>& table, std::string_view canonicalPath) {
    const MountEntry* best = nullptr;
    for (const MountEntry& entry : table) {
        if (!IsWholeComponentPrefix(entry.mountPoint, canonicalPath))
            continue;
        if (!best || entry.mountPoint.size() >= best->mountPoint.size())
            best = &entry;
    }
    return best;
}

}  // namespace sarvo
