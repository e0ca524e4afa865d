#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// MIME types by file extension. The system's table is /etc/mime.types (Debian's media-types package),
// read once on first use; a machine without it gets a small built-in table of the common types.
namespace sarvo {

inline constexpr char kSystemMimeTypesPath[] = "/etc/mime.types";
inline constexpr char kUnknownContentType[] = "application/x-msdownload";
// Callers keep a type in 80 bytes with its NUL; a longer type counts as unknown.
inline constexpr size_t kContentTypeBufferSize = 80;

// The lookup key of a file name: the name from its first '.' on ("photo.2005.jpg" gives ".2005.jpg"),
// or "." followed by the whole name when it has no '.'.
std::string ContentTypeKey(std::string_view fileName);

class ContentTypeTable {
public:
    // The mime.types format: a type, then its extensions without dots, separated by blanks; '#' starts
    // a comment. When two types claim an extension the first one wins. Types that do not fit the
    // callers' buffer are left out.
    static ContentTypeTable FromText(std::string_view text);
    // Empty when the file cannot be read.
    static std::optional<ContentTypeTable> FromFile(const std::string& path);
    static ContentTypeTable BuiltIn();

    // The type of a key such as ".jpg", compared without regard to case; "" when there is none.
    std::string Find(std::string_view key) const;
    // The type for a file name by its key, kUnknownContentType when the table has none.
    std::string Lookup(std::string_view fileName) const;

    size_t Size() const { return m_types.size(); }

private:
    void Add(std::string_view extension, std::string_view type);

    // Lower-case key with its leading '.' -> type as written.
    std::unordered_map<std::string, std::string> m_types;
};

// The table every lookup uses: /etc/mime.types, or the built-in one when that file cannot be read.
// Loaded on first use; safe to call from any thread.
const ContentTypeTable& SystemContentTypes();

std::string LookupContentType(std::string_view fileName);

}  // namespace sarvo
