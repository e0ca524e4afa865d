#include "store/SettingsSnapshot.h"

#include <sqlite3.h>

#include "store/SettingsDatabase.h"

namespace sarvo {
namespace {

// The database's NOCASE collation folds ASCII letters only.
void AppendFolded(std::string& out, std::string_view text) {
    for (char c : text)
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
}

std::string KeyLookupName(Hive hive, std::string_view path) {
    std::string name;
    name.reserve(path.size() + 1);
    name.push_back(static_cast<char>('0' + static_cast<int>(hive)));
    AppendFolded(name, path);
    return name;
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

}  // namespace

std::shared_ptr<const SettingsSnapshot> SettingsSnapshot::Load(SettingsConnection& connection,
                                                               const std::string& path, int64_t version) {
    auto snapshot = std::make_shared<SettingsSnapshot>();
    snapshot->m_databasePath = path;
    snapshot->m_version = version;
    auto& keys = snapshot->m_keys;

    struct KeyRow {
        int64_t parent;
        Hive hive;
        std::string name;
    };
    std::vector<KeyRow> rows;
    // Elements of an unordered_map keep their address while it grows.
    std::unordered_map<int64_t, Key*> byId;
    {
        ScopedStatement all(connection, Statement::AllKeys);
        if (!all)
            return nullptr;
        int step;
        while ((step = sqlite3_step(all.Get())) == SQLITE_ROW) {
            const auto hive = static_cast<Hive>(sqlite3_column_int(all.Get(), 1));
            byId[sqlite3_column_int64(all.Get(), 0)] = &keys[KeyLookupName(hive, ColumnText(all.Get(), 2))];
            rows.push_back({sqlite3_column_int64(all.Get(), 3), hive, ColumnText(all.Get(), 4)});
        }
        if (step != SQLITE_DONE)
            return nullptr;
    }
    // Rows come sorted by parent and then by name, so each list of subkeys fills in enumeration order.
    for (KeyRow& row : rows) {
        Key* parent = row.parent == 0 ? &keys[KeyLookupName(row.hive, "")] : byId[row.parent];
        if (parent)
            parent->subkeys.push_back(std::move(row.name));
    }

    ScopedStatement all(connection, Statement::AllValues);
    if (!all)
        return nullptr;
    int step;
    while ((step = sqlite3_step(all.Get())) == SQLITE_ROW) {
        auto owner = byId.find(sqlite3_column_int64(all.Get(), 0));
        if (owner == byId.end() || !owner->second)
            continue;
        Key& key = *owner->second;
        RegistryValue value;
        value.name = ColumnText(all.Get(), 1);
        value.type = static_cast<ValueType>(sqlite3_column_int(all.Get(), 2));
        const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(all.Get(), 3));
        value.data.assign(data, data + (data ? sqlite3_column_bytes(all.Get(), 3) : 0));
        std::string folded;
        AppendFolded(folded, value.name);
        key.valueIndex.emplace(std::move(folded), key.values.size());
        key.values.push_back(std::move(value));
    }
    if (step != SQLITE_DONE)
        return nullptr;
    return snapshot;
}

const SettingsSnapshot::Key* SettingsSnapshot::FindKey(Hive hive, std::string_view path) const {
    auto found = m_keys.find(KeyLookupName(hive, path));
    return found == m_keys.end() ? nullptr : &found->second;
}

bool SettingsSnapshot::KeyExists(Hive hive, std::string_view path) const {
    return !path.empty() && FindKey(hive, path) != nullptr;
}

const RegistryValue* SettingsSnapshot::FindValue(Hive hive, std::string_view path,
                                                 std::string_view name) const {
    const Key* key = FindKey(hive, path);
    if (!key || path.empty())
        return nullptr;
    std::string folded;
    AppendFolded(folded, name);
    auto found = key->valueIndex.find(folded);
    return found == key->valueIndex.end() ? nullptr : &key->values[found->second];
}

const std::string* SettingsSnapshot::SubkeyAt(Hive hive, std::string_view path, int index) const {
    const Key* key = FindKey(hive, path);
    if (!key || index < 0 || static_cast<size_t>(index) >= key->subkeys.size())
        return nullptr;
    return &key->subkeys[static_cast<size_t>(index)];
}

const RegistryValue* SettingsSnapshot::ValueAt(Hive hive, std::string_view path, int index) const {
    const Key* key = FindKey(hive, path);
    if (!key || path.empty() || index < 0 || static_cast<size_t>(index) >= key->values.size())
        return nullptr;
    return &key->values[static_cast<size_t>(index)];
}

}  // namespace sarvo
