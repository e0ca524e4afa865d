#include "store/Registry.h"

#include <cstring>
#include <functional>

#include "store/SettingsDatabase.h"
#include "store/SettingsSnapshot.h"

namespace sarvo {
namespace {

constexpr int64_t kRootParent = 0;
constexpr int kMaxKeyPathLength = 8192;

// Key paths are kept without leading or trailing separators; an empty segment is not a key.
// Trims the backslashes at either end in place, without a copy: reads run many times per request.
bool TrimKeyPath(std::string_view& subkey) {
    while (!subkey.empty() && subkey.front() == '\\')
        subkey.remove_prefix(1);
    while (!subkey.empty() && subkey.back() == '\\')
        subkey.remove_suffix(1);
    if (subkey.size() > kMaxKeyPathLength)
        return false;
    // One pass for the doubled separator: every settings read comes through here.
    for (size_t index = 1; index < subkey.size(); ++index) {
        if (subkey[index] == '\\' && subkey[index - 1] == '\\')
            return false;
    }
    return true;
}

bool CleanKeyPath(std::string_view subkey, std::string& out) {
    if (!TrimKeyPath(subkey))
        return false;
    out.assign(subkey);
    return true;
}

void BindText(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The id of the key, 0 when it does not exist; the empty path is the hive's root.
int64_t FindKey(SettingsConnection& connection, Hive hive, std::string_view path) {
    if (path.empty())
        return kRootParent;
    ScopedStatement find(connection, Statement::FindKey);
    if (!find)
        return -1;
    sqlite3_bind_int(find.Get(), 1, static_cast<int>(hive));
    BindText(find.Get(), 2, path);
    return sqlite3_step(find.Get()) == SQLITE_ROW ? sqlite3_column_int64(find.Get(), 0) : -1;
}

// Creates the key and its missing parents inside the caller's transaction; returns its id or -1.
int64_t EnsureKey(SettingsConnection& connection, Hive hive, const std::string& path) {
    int64_t parent = kRootParent;
    size_t start = 0;
    while (start <= path.size() && !path.empty()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        std::string prefix = path.substr(0, end);
        int64_t id = FindKey(connection, hive, prefix);
        if (id < 0) {
            ScopedStatement insert(connection, Statement::InsertKey);
            if (!insert)
                return -1;
            sqlite3_bind_int(insert.Get(), 1, static_cast<int>(hive));
            BindText(insert.Get(), 2, prefix);
            sqlite3_bind_int64(insert.Get(), 3, parent);
            BindText(insert.Get(), 4, std::string_view(path).substr(start, end - start));
            if (sqlite3_step(insert.Get()) != SQLITE_DONE)
                return -1;
            id = sqlite3_last_insert_rowid(connection.Database());
        }
        parent = id;
        start = end + 1;
    }
    return parent;
}

bool UpsertValue(SettingsConnection& connection, int64_t keyId, const RegistryValue& value) {
    ScopedStatement upsert(connection, Statement::UpsertValue);
    if (!upsert)
        return false;
    sqlite3_bind_int64(upsert.Get(), 1, keyId);
    BindText(upsert.Get(), 2, value.name);
    sqlite3_bind_int(upsert.Get(), 3, static_cast<int>(value.type));
    // An empty blob must still be a blob, not NULL: the column does not take NULL.
    static const uint8_t kEmpty = 0;
    const void* data = value.data.empty() ? &kEmpty : value.data.data();
    sqlite3_bind_blob(upsert.Get(), 4, data, static_cast<int>(value.data.size()), SQLITE_TRANSIENT);
    return sqlite3_step(upsert.Get()) == SQLITE_DONE;
}

// Values only within an existing key; a missing value is "done" when tolerated.
bool DeleteValue(SettingsConnection& connection, Hive hive, const std::string& path, std::string_view name,
                 bool missingIsFailure) {
    int64_t keyId = FindKey(connection, hive, path);
    if (keyId < 0 || path.empty())
        return !missingIsFailure;
    ScopedStatement remove(connection, Statement::DeleteValue);
    if (!remove)
        return false;
    sqlite3_bind_int64(remove.Get(), 1, keyId);
    BindText(remove.Get(), 2, name);
    if (sqlite3_step(remove.Get()) != SQLITE_DONE)
        return false;
    return !missingIsFailure || sqlite3_changes(connection.Database()) > 0;
}

std::string LikeEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '%' || c == '_' || c == '!')
            escaped.push_back('!');
        escaped.push_back(c);
    }
    return escaped;
}

bool DeleteTree(SettingsConnection& connection, Hive hive, const std::string& path) {
    std::string below = LikeEscaped(path) + "\\%";
    for (Statement statement : {Statement::DeleteTreeValues, Statement::DeleteTreeKeys}) {
        ScopedStatement remove(connection, statement);
        if (!remove)
            return false;
        sqlite3_bind_int(remove.Get(), 1, static_cast<int>(hive));
        BindText(remove.Get(), 2, path);
        BindText(remove.Get(), 3, below);
        if (sqlite3_step(remove.Get()) != SQLITE_DONE)
            return false;
    }
    return true;
}

bool ApplyOperation(SettingsConnection& connection, const RegistryOperation& operation) {
    std::string path;
    if (!CleanKeyPath(operation.subkey, path) || path.empty())
        return false;
    switch (operation.kind) {
        case RegistryOperation::Kind::CreateKey:
            return EnsureKey(connection, operation.hive, path) > 0;
        case RegistryOperation::Kind::SetValue: {
            int64_t keyId = EnsureKey(connection, operation.hive, path);
            return keyId > 0 && UpsertValue(connection, keyId, operation.value);
        }
        case RegistryOperation::Kind::RemoveValue:
            return DeleteValue(connection, operation.hive, path, operation.value.name, false);
        case RegistryOperation::Kind::DeleteKeyTree:
            return DeleteTree(connection, operation.hive, path);
    }
    return false;
}

// The value as the database holds it; false when there is none.
bool ReadStoredValue(SettingsConnection& connection, Hive hive, std::string_view path, std::string_view name,
                     RegistryValue& out) {
    ScopedStatement read(connection, Statement::ReadValue);
    if (!read)
        return false;
    sqlite3_bind_int(read.Get(), 1, static_cast<int>(hive));
    BindText(read.Get(), 2, path);
    BindText(read.Get(), 3, name);
    if (sqlite3_step(read.Get()) != SQLITE_ROW)
        return false;
    out.name.assign(name);
    out.type = static_cast<ValueType>(sqlite3_column_int(read.Get(), 0));
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(read.Get(), 1));
    out.data.assign(data, data + (data ? sqlite3_column_bytes(read.Get(), 1) : 0));
    return true;
}

// The stored value: in the reading scope's copy, without copying it, or else read from the database
// into holder. Null when there is none.
const RegistryValue* FindStoredValue(Hive hive, std::string_view subkey, std::string_view name,
                                     RegistryValue& holder) {
    std::string_view path = subkey;
    if (!TrimKeyPath(path))
        return nullptr;
    if (const SettingsSnapshot* snapshot = ScopedSnapshot())
        return snapshot->FindValue(hive, path, name);
    BorrowedConnection connection;
    if (!connection || !ReadStoredValue(*connection, hive, path, name, holder))
        return nullptr;
    return &holder;
}

bool ApplyOne(const RegistryOperation& operation) {
    return ApplyRegistryBatch({operation});
}

// A row of name, type and data.
void ReadValueRow(sqlite3_stmt* row, RegistryValue& out) {
    out.name = reinterpret_cast<const char*>(sqlite3_column_text(row, 0));
    out.type = static_cast<ValueType>(sqlite3_column_int(row, 1));
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(row, 2));
    out.data.assign(data, data + (data ? sqlite3_column_bytes(row, 2) : 0));
}

RegistryValue MakeValue(std::string_view name, ValueType type, const void* bytes, size_t size) {
    RegistryValue value;
    value.name.assign(name);
    value.type = type;
    if (bytes && size > 0) {
        const auto* begin = static_cast<const uint8_t*>(bytes);
        value.data.assign(begin, begin + size);
    }
    return value;
}

}  // namespace

bool CreateKey(Hive hive, std::string_view subkey) {
    return ApplyOne({RegistryOperation::Kind::CreateKey, hive, std::string(subkey), {}});
}

bool OpenForRead(Hive hive, std::string_view subkey) {
    return KeyExists(hive, subkey);
}

bool OpenForWrite(Hive hive, std::string_view subkey) {
    return CreateKey(hive, subkey);
}

bool KeyExists(Hive hive, std::string_view subkey) {
    std::string_view path = subkey;
    if (!TrimKeyPath(path) || path.empty())
        return false;
    if (const SettingsSnapshot* snapshot = ScopedSnapshot())
        return snapshot->KeyExists(hive, path);
    BorrowedConnection connection;
    if (!connection)
        return false;
    return FindKey(*connection, hive, path) > 0;
}

bool ReadValue(Hive hive, std::string_view subkey, std::string_view name, RegistryValue& out) {
    const RegistryValue* value = FindStoredValue(hive, subkey, name, out);
    if (!value)
        return false;
    if (value != &out) {
        out.name.assign(name);
        out.type = value->type;
        out.data = value->data;
    }
    return true;
}

bool WriteValue(Hive hive, std::string_view subkey, const RegistryValue& value) {
    return ApplyOne({RegistryOperation::Kind::SetValue, hive, std::string(subkey), value});
}

bool ReadText(Hive hive, std::string_view subkey, std::string_view name, std::string& out,
              size_t bufferSize) {
    RegistryValue holder;
    const RegistryValue* value = FindStoredValue(hive, subkey, name, holder);
    if (!value || value->data.size() > bufferSize)
        return false;
    const char* text = reinterpret_cast<const char*>(value->data.data());
    out.assign(text, strnlen(text, value->data.size()));
    // A text stored without its NUL needs one more byte in the reader's buffer.
    if (out.size() == value->data.size() && out.size() + 1 > bufferSize)
        return false;
    return true;
}

bool WriteText(Hive hive, std::string_view subkey, std::string_view name, std::string_view text) {
    std::string terminated(text);
    return WriteValue(hive, subkey,
                      MakeValue(name, ValueType::String, terminated.c_str(), terminated.size() + 1));
}

bool ReadNumber(Hive hive, std::string_view subkey, std::string_view name, uint32_t& out) {
    RegistryValue holder;
    const RegistryValue* value = FindStoredValue(hive, subkey, name, holder);
    if (!value || value->data.empty() || value->data.size() > sizeof(uint32_t))
        return false;
    uint32_t number = 0;
    for (size_t i = 0; i < value->data.size(); ++i)
        number |= static_cast<uint32_t>(value->data[i]) << (8 * i);
    out = number;
    return true;
}

bool WriteNumber(Hive hive, std::string_view subkey, std::string_view name, uint32_t number) {
    uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                        static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
    return WriteValue(hive, subkey, MakeValue(name, ValueType::Dword, bytes, sizeof bytes));
}

bool ReadBlob(Hive hive, std::string_view subkey, std::string_view name, std::vector<uint8_t>& out) {
    RegistryValue value;
    if (!ReadValue(hive, subkey, name, value)) {
        out.clear();
        return false;
    }
    out = std::move(value.data);
    return true;
}

bool WriteBlob(Hive hive, std::string_view subkey, std::string_view name, const void* bytes, size_t size) {
    return WriteValue(hive, subkey, MakeValue(name, ValueType::Binary, bytes, size));
}

bool RemoveValue(Hive hive, std::string_view subkey, std::string_view name) {
    std::string path;
    BorrowedConnection connection;
    if (!connection || !CleanKeyPath(subkey, path) || path.empty())
        return false;
    ForgetScopedSnapshot();
    WriteTransaction transaction(*connection);
    return transaction.IsActive() && DeleteValue(*connection, hive, path, name, true) && transaction.Commit();
}

bool EnumSubkey(Hive hive, std::string_view subkey, int index, std::string& out, size_t bufferSize) {
    std::string_view path = subkey;
    if (index < 0 || !TrimKeyPath(path))
        return false;
    if (const SettingsSnapshot* snapshot = ScopedSnapshot()) {
        const std::string* name = snapshot->SubkeyAt(hive, path, index);
        if (!name || name->size() + 1 > bufferSize)
            return false;
        out = *name;
        return true;
    }
    BorrowedConnection connection;
    if (!connection)
        return false;
    int64_t keyId = FindKey(*connection, hive, path);
    if (keyId < 0)
        return false;
    ScopedStatement at(*connection, Statement::SubkeyAt);
    if (!at)
        return false;
    sqlite3_bind_int(at.Get(), 1, static_cast<int>(hive));
    sqlite3_bind_int64(at.Get(), 2, keyId);
    sqlite3_bind_int(at.Get(), 3, index);
    if (sqlite3_step(at.Get()) != SQLITE_ROW)
        return false;
    std::string name = reinterpret_cast<const char*>(sqlite3_column_text(at.Get(), 0));
    if (name.size() + 1 > bufferSize)
        return false;
    out = std::move(name);
    return true;
}

bool EnumValue(Hive hive, std::string_view subkey, int index, RegistryValue& out) {
    std::string_view path = subkey;
    if (index < 0 || !TrimKeyPath(path) || path.empty())
        return false;
    if (const SettingsSnapshot* snapshot = ScopedSnapshot()) {
        const RegistryValue* value = snapshot->ValueAt(hive, path, index);
        if (!value)
            return false;
        out = *value;
        return true;
    }
    BorrowedConnection connection;
    if (!connection)
        return false;
    int64_t keyId = FindKey(*connection, hive, path);
    if (keyId <= 0)
        return false;
    ScopedStatement at(*connection, Statement::ValueAt);
    if (!at)
        return false;
    sqlite3_bind_int64(at.Get(), 1, keyId);
    sqlite3_bind_int(at.Get(), 2, index);
    if (sqlite3_step(at.Get()) != SQLITE_ROW)
        return false;
    ReadValueRow(at.Get(), out);
    return true;
}

std::vector<std::string> ListSubkeys(Hive hive, std::string_view subkey) {
    std::vector<std::string> names;
    std::string name;
    while (EnumSubkey(hive, subkey, static_cast<int>(names.size()), name, kMaxKeyPathLength))
        names.push_back(name);
    return names;
}

// One statement over the key's values: reading them by index would cost a scan per index.
std::vector<RegistryValue> ListValues(Hive hive, std::string_view subkey) {
    std::vector<RegistryValue> values;
    std::string path;
    BorrowedConnection connection;
    if (!connection || !CleanKeyPath(subkey, path) || path.empty())
        return values;
    int64_t keyId = FindKey(*connection, hive, path);
    if (keyId <= 0)
        return values;
    ScopedStatement all(*connection, Statement::ValuesOf);
    if (!all)
        return values;
    sqlite3_bind_int64(all.Get(), 1, keyId);
    while (sqlite3_step(all.Get()) == SQLITE_ROW)
        ReadValueRow(all.Get(), values.emplace_back());
    return values;
}

bool ModifyValue(Hive hive, std::string_view subkey, std::string_view name,
                 const std::function<bool(RegistryValue&)>& change) {
    std::string path;
    BorrowedConnection connection;
    if (!connection || !CleanKeyPath(subkey, path) || path.empty())
        return false;
    ForgetScopedSnapshot();
    WriteTransaction transaction(*connection);
    if (!transaction.IsActive())
        return false;
    int64_t keyId = FindKey(*connection, hive, path);
    if (keyId <= 0)
        return false;
    RegistryValue value;
    if (!ReadStoredValue(*connection, hive, path, name, value))
        return false;
    return change(value) && UpsertValue(*connection, keyId, value) && transaction.Commit();
}

bool DeleteKeyTree(Hive hive, std::string_view subkey) {
    if (subkey.empty())
        return false;
    return ApplyOne({RegistryOperation::Kind::DeleteKeyTree, hive, std::string(subkey), {}});
}

bool ApplyRegistryBatch(const std::vector<RegistryOperation>& operations) {
    // Whatever the outcome, this thread's next read must see the store as it now is.
    ForgetScopedSnapshot();
    BorrowedConnection connection;
    if (!connection)
        return false;
    WriteTransaction transaction(*connection);
    if (!transaction.IsActive())
        return false;
    for (const RegistryOperation& operation : operations) {
        if (!ApplyOperation(*connection, operation))
            return false;
    }
    return transaction.Commit();
}

void CloseSettingsStore() {
    ForgetLatestSnapshot();
    CloseSettingsConnections();
}

}  // namespace sarvo
