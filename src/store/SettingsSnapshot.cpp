#include "store/SettingsSnapshot.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>

#include "store/SettingsDatabase.h"

namespace sarvo {
namespace {

// The database's NOCASE collation folds ASCII letters only.
char Folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The place of a hive's keys in m_hives; -1 for a number that names no hive.
int HiveIndex(Hive hive) {
    switch (hive) {
        case Hive::CurrentUser:
            return 0;
        case Hive::LocalMachine:
            return 1;
    }
    return -1;
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

}  // namespace

size_t SettingsSnapshot::FoldedHash::operator()(std::string_view text) const {
    // Eight bytes at a time with the 0x20 bit set in each, which folds ASCII letters (and merges a few
    // other pairs of bytes, which only costs a comparison). A request makes several lookups of long
    // key paths, so this runs often.
    constexpr uint64_t kFold = 0x2020202020202020ull;
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t hash = text.size();
    size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        hash = (hash ^ (word | kFold)) * kMultiplier;
        hash ^= hash >> 29;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, text.data() + at, text.size() - at);
    hash = (hash ^ (tail | kFold)) * kMultiplier;
    return static_cast<size_t>(hash ^ (hash >> 32));
}

bool SettingsSnapshot::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size())
        return false;
    // Callers mostly spell a name as it was stored.
    if (a == b)
        return true;
    for (size_t index = 0; index < a.size(); ++index) {
        if (Folded(a[index]) != Folded(b[index]))
            return false;
    }
    return true;
}

std::shared_ptr<const SettingsSnapshot> SettingsSnapshot::Load(SettingsConnection& connection,
                                                               const std::string& path, int64_t version) {
    static std::atomic<uint64_t> copiesMade{0};
    auto snapshot = std::make_shared<SettingsSnapshot>();
    snapshot->m_copyNumber = ++copiesMade;
    snapshot->m_databasePath = path;
    snapshot->m_version = version;

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
            const int hiveIndex = HiveIndex(hive);
            if (hiveIndex < 0)
                continue;
            byId[sqlite3_column_int64(all.Get(), 0)] =
                &snapshot->m_hives[hiveIndex][ColumnText(all.Get(), 2)];
            rows.push_back({sqlite3_column_int64(all.Get(), 3), hive, ColumnText(all.Get(), 4)});
        }
        if (step != SQLITE_DONE)
            return nullptr;
    }
    // Rows come sorted by parent and then by name, so each list of subkeys fills in enumeration order.
    for (KeyRow& row : rows) {
        Key* parent = row.parent == 0 ? &snapshot->m_hives[HiveIndex(row.hive)][""] : byId[row.parent];
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
        key.valueIndex.emplace(value.name, key.values.size());
        key.values.push_back(std::move(value));
    }
    if (step != SQLITE_DONE)
        return nullptr;
    return snapshot;
}

const SettingsSnapshot::Key* SettingsSnapshot::FindKey(Hive hive, std::string_view path) const {
    const int hiveIndex = HiveIndex(hive);
    if (hiveIndex < 0)
        return nullptr;
    // A request reads several values of one key in a row (the site's, a folder's), so the key this
    // thread found last is tried first. The copy's number, never reused, tells whether it is still
    // this copy's.
    struct LastFound {
        uint64_t copy = 0;
        int hiveIndex = -1;
        std::string path;
        const Key* key = nullptr;
    };
    thread_local LastFound last;
    if (last.copy == m_copyNumber && last.hiveIndex == hiveIndex && last.path == path)
        return last.key;
    auto found = m_hives[hiveIndex].find(path);
    const Key* key = found == m_hives[hiveIndex].end() ? nullptr : &found->second;
    last.copy = m_copyNumber;
    last.hiveIndex = hiveIndex;
    last.path.assign(path);
    last.key = key;
    return key;
}

bool SettingsSnapshot::KeyExists(Hive hive, std::string_view path) const {
    return !path.empty() && FindKey(hive, path) != nullptr;
}

const RegistryValue* SettingsSnapshot::FindValue(Hive hive, std::string_view path,
                                                 std::string_view name) const {
    const Key* key = FindKey(hive, path);
    if (!key || path.empty())
        return nullptr;
    auto found = key->valueIndex.find(name);
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
