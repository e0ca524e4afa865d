#include "store/PublishedFiles.h"

#include <algorithm>
#include <cstring>

#include "common/Format.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"

namespace sarvo {
namespace {

constexpr size_t kPatternOffset = 260;
constexpr size_t kRealTimeOffset = 520;
constexpr size_t kUseNewestOffset = 524;
constexpr size_t kReservedOffset = 528;
// Far more than anyone publishes under one name; it only bounds the search for a free name.
constexpr int kMaxNameCounter = 100000;

void PutText(std::array<uint8_t, kPublishedRecordSize>& bytes, size_t offset, const std::string& text) {
    size_t length = std::min(text.size(), kPublishedPathFieldSize - 1);
    std::memcpy(bytes.data() + offset, text.data(), length);
}

void PutNumber(std::array<uint8_t, kPublishedRecordSize>& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < sizeof value; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::string GetText(const uint8_t* bytes, size_t size) {
    const char* text = reinterpret_cast<const char*>(bytes);
    return std::string(text, strnlen(text, size));
}

uint32_t GetNumber(const uint8_t* bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < sizeof value; ++i)
        value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return value;
}

std::string CandidateName(const std::string& base, const std::string& extension, bool hasExtension, int n) {
    if (n == 0)
        return hasExtension ? Format("%s.%s", base.c_str(), extension.c_str()) : base;
    if (hasExtension)
        return Format("%s[%d].%s", base.c_str(), n, extension.c_str());
    return Format("%s[%d]", base.c_str(), n);
}

}  // namespace

std::array<uint8_t, kPublishedRecordSize> PublishedFileRecord::Serialize() const {
    std::array<uint8_t, kPublishedRecordSize> bytes{};
    PutText(bytes, 0, path);
    PutText(bytes, kPatternOffset, searchPattern);
    PutNumber(bytes, kRealTimeOffset, realTime);
    PutNumber(bytes, kUseNewestOffset, useNewest);
    PutNumber(bytes, kReservedOffset, 0);
    return bytes;
}

PublishedFileRecord PublishedFileRecord::FromStoredBytes(const std::vector<uint8_t>& bytes) {
    PublishedFileRecord record;
    if (bytes.size() != kPublishedRecordSize) {
        record.path = GetText(bytes.data(), std::min(bytes.size(), kPublishedPathFieldSize - 1));
        return record;
    }
    record.path = GetText(bytes.data(), kPublishedPathFieldSize);
    record.searchPattern = GetText(bytes.data() + kPatternOffset, kPublishedPathFieldSize);
    record.realTime = GetNumber(bytes.data() + kRealTimeOffset);
    record.useNewest = GetNumber(bytes.data() + kUseNewestOffset);
    record.reserved = GetNumber(bytes.data() + kReservedOffset);
    return record;
}

std::optional<PublishedFileEntry> EnumPublishedFile(int index) {
    RegistryValue value;
    if (!EnumValue(Hive::CurrentUser, kDynamicFilesKey, index, value) ||
        value.name.size() > kPublishedNameMax)
        return std::nullopt;
    return PublishedFileEntry{value.name, PublishedFileRecord::FromStoredBytes(value.data)};
}

std::optional<PublishedFileRecord> GetPublishedFile(std::string_view name) {
    std::vector<uint8_t> bytes;
    if (name.empty() || !ReadBlob(Hive::CurrentUser, kDynamicFilesKey, name, bytes))
        return std::nullopt;
    return PublishedFileRecord::FromStoredBytes(bytes);
}

bool SetPublishedFile(std::string_view name, const PublishedFileRecord& record) {
    if (name.empty() || name.size() > kPublishedNameMax)
        return false;
    auto bytes = record.Serialize();
    return WriteBlob(Hive::CurrentUser, kDynamicFilesKey, name, bytes.data(), bytes.size());
}

bool RemovePublishedFile(std::string_view name) {
    return !name.empty() && RemoveValue(Hive::CurrentUser, kDynamicFilesKey, name);
}

bool IsRealTimeFile(std::string_view name) {
    auto record = GetPublishedFile(name);
    return record && record->realTime != 0;
}

std::optional<PublishedFileEntry> PublishFile(std::string_view path) {
    std::string_view fileName = path;
    size_t separator = fileName.find_last_of("\\/");
    if (separator != std::string_view::npos)
        fileName.remove_prefix(separator + 1);
    size_t dot = fileName.rfind('.');
    bool hasExtension = dot != std::string_view::npos;
    std::string base(hasExtension ? fileName.substr(0, dot) : fileName);
    std::string extension(hasExtension ? fileName.substr(dot + 1) : std::string_view());

    for (int n = 0; n < kMaxNameCounter; ++n) {
        std::string name = CandidateName(base, extension, hasExtension, n);
        if (name.empty() || name.size() > kPublishedNameMax)
            return std::nullopt;
        if (GetPublishedFile(name))
            continue;
        PublishedFileEntry entry{name, {}};
        entry.record.path.assign(path);
        if (!SetPublishedFile(name, entry.record))
            return std::nullopt;
        return entry;
    }
    return std::nullopt;
}

}  // namespace sarvo
