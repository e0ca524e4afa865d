#include "store/Users.h"

#include "store/Registry.h"
#include "store/RegistryKeys.h"

namespace sarvo {
namespace {

constexpr size_t kUserBufferSize = kUserFieldMax + 1;

std::string TextOf(const RegistryValue& value) {
    std::string text(value.data.begin(), value.data.end());
    size_t end = text.find('\0');
    return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

bool EnumerateUser(int index, std::string& name, std::string& password) {
    RegistryValue value;
    if (!EnumValue(Hive::CurrentUser, kUsersKey, index, value))
        return false;
    if (value.name.size() >= kUserBufferSize || value.data.size() > kUserBufferSize)
        return false;
    name = value.name;
    password = TextOf(value);
    return true;
}

bool SetUser(std::string_view name, std::string_view password) {
    if (name.empty())
        return false;
    return WriteText(Hive::CurrentUser, kUsersKey, name, password);
}

bool RemoveUser(std::string_view name) {
    return !name.empty() && RemoveValue(Hive::CurrentUser, kUsersKey, name);
}

bool RemoveAllUsers() {
    return DeleteKeyTree(Hive::CurrentUser, kUsersKey);
}

bool CheckUserPassword(std::string_view user, std::string_view password) {
    std::string stored;
    if (user.empty() || !ReadText(Hive::CurrentUser, kUsersKey, user, stored, kUserBufferSize))
        return false;
    return stored == password;
}

}  // namespace sarvo
