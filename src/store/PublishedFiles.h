#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Single files published under names of their own, one binary value each under DynamicFiles.
namespace sarvo {

inline constexpr size_t kPublishedRecordSize = 532;
inline constexpr size_t kPublishedPathFieldSize = 260;
inline constexpr size_t kPublishedNameMax = 259;

struct PublishedFileRecord {
    std::string path;
    std::string searchPattern;  // "" means "*." and the extension of path
    uint32_t realTime = 0;
    uint32_t useNewest = 0;
    uint32_t reserved = 0;

    // The stored layout: path[260], searchPattern[260] (NUL-terminated texts), then realTime,
    // useNewest and reserved as little-endian 32-bit numbers; reserved is always written as 0.
    std::array<uint8_t, kPublishedRecordSize> Serialize() const;
    // Data of another size is an older entry that holds only the path as text.
    static PublishedFileRecord FromStoredBytes(const std::vector<uint8_t>& bytes);
};

struct PublishedFileEntry {
    std::string name;
    PublishedFileRecord record;
};

std::optional<PublishedFileEntry> EnumPublishedFile(int index);
std::optional<PublishedFileRecord> GetPublishedFile(std::string_view name);
bool SetPublishedFile(std::string_view name, const PublishedFileRecord& record);
bool RemovePublishedFile(std::string_view name);
bool IsRealTimeFile(std::string_view name);

// Publishes a file under the first free name made from its file name: "a.txt", then "a[1].txt",
// "a[2].txt" and so on ("README", "README[1]" without an extension).
std::optional<PublishedFileEntry> PublishFile(std::string_view path);

}  // namespace sarvo
