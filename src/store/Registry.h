#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The settings store keeps the model of the Windows registry: hives, '\'-separated key paths compared
// without regard to case, named values with a type and bytes. Every operation stands alone (open,
// act, close, from the caller's view) and reads the database at each use, so a value written by
// another process is seen by the next read. Each returns true on success.
namespace sarvo {

enum class Hive { CurrentUser = 1, LocalMachine = 2 };

// The registry's own type numbers, so that exported files keep their meaning.
enum class ValueType : uint32_t { String = 1, Binary = 3, Dword = 4 };

struct RegistryValue {
    std::string name;
    ValueType type = ValueType::String;
    std::vector<uint8_t> data;
};

bool CreateKey(Hive hive, std::string_view subkey);
bool OpenForRead(Hive hive, std::string_view subkey);
bool OpenForWrite(Hive hive, std::string_view subkey);
bool KeyExists(Hive hive, std::string_view subkey);

// Fails when the data, with its terminating NUL, does not fit a buffer of bufferSize bytes.
bool ReadText(Hive hive, std::string_view subkey, std::string_view name, std::string& out, size_t bufferSize);
bool WriteText(Hive hive, std::string_view subkey, std::string_view name, std::string_view text);
bool ReadNumber(Hive hive, std::string_view subkey, std::string_view name, uint32_t& out);
bool WriteNumber(Hive hive, std::string_view subkey, std::string_view name, uint32_t value);
bool ReadBlob(Hive hive, std::string_view subkey, std::string_view name, std::vector<uint8_t>& out);
bool WriteBlob(Hive hive, std::string_view subkey, std::string_view name, const void* bytes, size_t size);
bool ReadValue(Hive hive, std::string_view subkey, std::string_view name, RegistryValue& out);
bool WriteValue(Hive hive, std::string_view subkey, const RegistryValue& value);
bool RemoveValue(Hive hive, std::string_view subkey, std::string_view name);

// Reads the value, lets change edit it, and writes it back, all in one transaction, so that no other
// writer comes in between. Fails, writing nothing, when the value does not exist or change says no.
bool ModifyValue(Hive hive, std::string_view subkey, std::string_view name,
                 const std::function<bool(RegistryValue&)>& change);

// Subkeys come in case-insensitive alphabetical order, values in the order they were created.
// A name longer than bufferSize - 1 fails, as it would not fit the caller's buffer.
bool EnumSubkey(Hive hive, std::string_view subkey, int index, std::string& out, size_t bufferSize);
bool EnumValue(Hive hive, std::string_view subkey, int index, RegistryValue& out);
std::vector<std::string> ListSubkeys(Hive hive, std::string_view subkey);
std::vector<RegistryValue> ListValues(Hive hive, std::string_view subkey);

// Deletes the key with everything below it; true when the key no longer exists.
bool DeleteKeyTree(Hive hive, std::string_view subkey);

struct RegistryOperation {
    enum class Kind { CreateKey, SetValue, RemoveValue, DeleteKeyTree };
    Kind kind = Kind::CreateKey;
    Hive hive = Hive::CurrentUser;
    std::string subkey;
    RegistryValue value;
};

// Applies every operation in one transaction: all of them or none. Removing a value that does not
// exist is not a failure here.
bool ApplyRegistryBatch(const std::vector<RegistryOperation>& operations);

// Closes the pooled database connections (at exit, and in tests that switch SARVO_HOME).
void CloseSettingsStore();

}  // namespace sarvo
