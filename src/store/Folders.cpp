#include "store/Folders.h"

#include <utility>
#include <vector>

#include "common/Text.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "store/SettingsSnapshot.h"

namespace sarvo {
namespace {

constexpr size_t kNameBufferSize = kFolderNameMax + 1;
constexpr size_t kDescriptionBufferSize = kFolderDescriptionMax + 1;
constexpr size_t kLocationBufferSize = kFolderLocationMax + 1;

constexpr char kDescription[] = "desc";
constexpr char kLocation[] = "folder";
constexpr char kBrowseSubfolders[] = "canbrowsesubfld";
constexpr char kPostFiles[] = "canpostfiles";
constexpr char kVisible[] = "Visible";
constexpr char kZipDownload[] = "zipDownload";
constexpr char kFollowLinks[] = "followlinks";

std::string FolderKey(std::string_view name) {
    // Joined by hand rather than formatted: a request reads several values of the folder it names.
    std::string key;
    key.reserve(sizeof kFoldersKey + name.size());
    key += kFoldersKey;
    key += '\\';
    key += name;
    return key;
}

// One value of a folder as one read gave it.
struct KeptRead {
    bool known = false;
    bool found = false;
    std::string text;
    uint32_t number = 0;
};

// A request reads several values of the folder it names, and the thread's next request most often
// names the same folder in the same copy of the store: what was read is kept for the thread until
// the folder or the copy changes. Values are told apart by their name constants above.
KeptRead& KeptValue(std::string_view name, const char* value) {
    struct KeptFolder {
        uint64_t copy = 0;
        std::string name;
        std::vector<std::pair<const char*, KeptRead>> reads;
    };
    thread_local KeptFolder kept;
    thread_local KeptRead unkept;
    const SettingsSnapshot* snapshot = ScopedSnapshot();
    if (!snapshot) {
        unkept = KeptRead{};
        return unkept;
    }
    if (kept.copy != snapshot->CopyNumber() || kept.name != name) {
        kept.copy = snapshot->CopyNumber();
        kept.name.assign(name);
        kept.reads.clear();
    }
    for (auto& [keptValue, read] : kept.reads) {
        if (keptValue == value)
            return read;
    }
    return kept.reads.emplace_back(value, KeptRead{}).second;
}

bool ReadFolderText(std::string_view name, const char* value, std::string& out, size_t bufferSize) {
    KeptRead& read = KeptValue(name, value);
    if (!read.known) {
        read.found = ReadText(Hive::CurrentUser, FolderKey(name), value, read.text, bufferSize);
        read.known = true;
    }
    if (read.found)
        out = read.text;
    return read.found;
}

bool ReadFlag(std::string_view name, const char* value, bool fallback) {
    KeptRead& read = KeptValue(name, value);
    if (!read.known) {
        read.found = ReadNumber(Hive::CurrentUser, FolderKey(name), value, read.number);
        read.known = true;
    }
    return read.found ? read.number != 0 : fallback;
}

bool WriteFlag(std::string_view name, const char* value, bool on) {
    return WriteNumber(Hive::CurrentUser, FolderKey(name), value, on ? 1 : 0);
}

RegistryOperation SetText(const std::string& key, const char* name, const std::string& text) {
    RegistryOperation operation{RegistryOperation::Kind::SetValue, Hive::CurrentUser, key, {}};
    operation.value.name = name;
    operation.value.type = ValueType::String;
    operation.value.data.assign(text.begin(), text.end());
    operation.value.data.push_back(0);
    return operation;
}

RegistryOperation SetFlag(const std::string& key, const char* name, bool on) {
    RegistryOperation operation{RegistryOperation::Kind::SetValue, Hive::CurrentUser, key, {}};
    operation.value.name = name;
    operation.value.type = ValueType::Dword;
    operation.value.data = {static_cast<uint8_t>(on ? 1 : 0), 0, 0, 0};
    return operation;
}

std::vector<RegistryOperation> FolderWrites(const SharedFolder& folder) {
    const std::string key = FolderKey(folder.name);
    return {SetText(key, kDescription, folder.description),
            SetText(key, kLocation, folder.location),
            SetFlag(key, kBrowseSubfolders, folder.canBrowseSubfolders),
            SetFlag(key, kPostFiles, folder.canPostFiles),
            SetFlag(key, kVisible, folder.visible),
            SetFlag(key, kZipDownload, folder.zipDownload),
            SetFlag(key, kFollowLinks, folder.followLinks)};
}

}  // namespace

bool EnumFolderName(int index, std::string& out) {
    return EnumSubkey(Hive::CurrentUser, kFoldersKey, index, out, kNameBufferSize);
}

bool FolderExists(std::string_view name) {
    return !name.empty() && KeyExists(Hive::CurrentUser, FolderKey(name));
}

bool RemoveFolder(std::string_view name) {
    return !name.empty() && DeleteKeyTree(Hive::CurrentUser, FolderKey(name));
}

bool GetFolderDescription(std::string_view name, std::string& out) {
    return ReadFolderText(name, kDescription, out, kDescriptionBufferSize);
}

bool GetFolderLocation(std::string_view name, std::string& out) {
    return ReadFolderText(name, kLocation, out, kLocationBufferSize);
}

bool CanBrowseSubfolders(std::string_view name) {
    return ReadFlag(name, kBrowseSubfolders, false);
}
bool CanPostFiles(std::string_view name) {
    return ReadFlag(name, kPostFiles, false);
}
bool IsFolderVisible(std::string_view name) {
    return ReadFlag(name, kVisible, true);
}
bool IsZipDownloadAllowed(std::string_view name) {
    return ReadFlag(name, kZipDownload, false);
}
bool FollowsLinks(std::string_view name) {
    return ReadFlag(name, kFollowLinks, false);
}

bool SetFolderDescription(std::string_view name, std::string_view description) {
    return WriteText(Hive::CurrentUser, FolderKey(name), kDescription, description);
}

bool SetFolderLocation(std::string_view name, std::string_view location) {
    return WriteText(Hive::CurrentUser, FolderKey(name), kLocation, location);
}

bool SetCanBrowseSubfolders(std::string_view name, bool on) {
    return WriteFlag(name, kBrowseSubfolders, on);
}
bool SetCanPostFiles(std::string_view name, bool on) {
    return WriteFlag(name, kPostFiles, on);
}
bool SetFolderVisible(std::string_view name, bool on) {
    return WriteFlag(name, kVisible, on);
}
bool SetZipDownloadAllowed(std::string_view name, bool on) {
    return WriteFlag(name, kZipDownload, on);
}
bool SetFollowLinks(std::string_view name, bool on) {
    return WriteFlag(name, kFollowLinks, on);
}

bool ReadSharedFolder(std::string_view name, SharedFolder& out) {
    if (!FolderExists(name))
        return false;
    // The key's own spelling, not the caller's, is the folder's name.
    out.name.assign(name);
    std::string keyName;
    for (int index = 0; EnumFolderName(index, keyName); ++index) {
        if (EqualsIgnoreCase(keyName, name)) {
            out.name = keyName;
            break;
        }
    }
    out.description.clear();
    out.location.clear();
    GetFolderDescription(name, out.description);
    GetFolderLocation(name, out.location);
    out.canBrowseSubfolders = CanBrowseSubfolders(name);
    out.canPostFiles = CanPostFiles(name);
    out.visible = IsFolderVisible(name);
    out.zipDownload = IsZipDownloadAllowed(name);
    out.followLinks = FollowsLinks(name);
    return true;
}

bool WriteSharedFolder(const SharedFolder& folder) {
    return !folder.name.empty() && ApplyRegistryBatch(FolderWrites(folder));
}

bool RenameSharedFolder(std::string_view oldName, const SharedFolder& folder) {
    if (oldName.empty() || folder.name.empty())
        return false;
    std::vector<RegistryOperation> operations = {
        {RegistryOperation::Kind::DeleteKeyTree, Hive::CurrentUser, FolderKey(oldName), {}}};
    for (RegistryOperation& write : FolderWrites(folder))
        operations.push_back(std::move(write));
    return ApplyRegistryBatch(operations);
}

}  // namespace sarvo
