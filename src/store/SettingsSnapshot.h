#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/Registry.h"

namespace sarvo {

class SettingsConnection;

// An immutable copy of the whole store at one version, shared by the requests that validated it.
// Key paths and names are compared without regard to ASCII case, as the database compares them.
class SettingsSnapshot {
public:
    // Reads every key and value inside the caller's read transaction; null when a query fails.
    static std::shared_ptr<const SettingsSnapshot> Load(SettingsConnection& connection,
                                                        const std::string& path, int64_t version);

    const std::string& DatabasePath() const { return m_databasePath; }
    int64_t Version() const { return m_version; }
    // Tells copies apart: no two copies made by the process share a number, so a value derived from a
    // copy can be kept under its number.
    uint64_t CopyNumber() const { return m_copyNumber; }

    // The same answers as the database queries of the registry operations; path is already cleaned.
    bool KeyExists(Hive hive, std::string_view path) const;
    const RegistryValue* FindValue(Hive hive, std::string_view path, std::string_view name) const;
    const std::string* SubkeyAt(Hive hive, std::string_view path, int index) const;
    const RegistryValue* ValueAt(Hive hive, std::string_view path, int index) const;

private:
    // Hashes and compares with ASCII letters folded, and looks up by string_view without a copy.
    struct FoldedHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const;
    };
    struct FoldedEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    template <typename T>
    using FoldedMap = std::unordered_map<std::string, T, FoldedHash, FoldedEqual>;

    struct Key {
        std::vector<std::string> subkeys;   // enumeration order
        std::vector<RegistryValue> values;  // creation order
        FoldedMap<size_t> valueIndex;       // name -> place in values
    };

    const Key* FindKey(Hive hive, std::string_view path) const;

    uint64_t m_copyNumber = 0;  // unique in the process, from 1
    std::string m_databasePath;
    int64_t m_version = 0;
    // The keys of each hive by path (see HiveIndex); the empty path is the hive's root.
    FoldedMap<Key> m_hives[2];
};

// The copy of the calling thread's SettingsReadScope; null without a scope, or when the store could
// not be checked (the caller then reads the database).
const SettingsSnapshot* ScopedSnapshot();
// After the thread wrote the store: its scope checks the version again at its next read.
void ForgetScopedSnapshot();
// Drops the copy shared between threads (when the store's connections are closed).
void ForgetLatestSnapshot();

}  // namespace sarvo
